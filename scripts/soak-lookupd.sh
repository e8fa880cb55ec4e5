#!/usr/bin/env bash
# Soaks brisvane-lookupd through the faults of a term's start: two instances (HTTPS) on one
# slapd behind a private nginx load balancer, loaded through nginx with the client's own
# request at a paced rate (half the maximum measured first, or --rate), and on a timeline
# scaled to DURATION (10 minutes: the minutes below):
#   3/10  slapd stopped for 20 s (at least 3 s in a short run), then started again
#   6/10  SIGHUP to both instances (re-read the members file, the certificate and its key)
#   8/10  one instance killed (SIGKILL); nginx retries its lookups on the other
# Checks: no instance crashed; every request was answered (no socket error, no time-out, no
# status besides 200, and 503 only while slapd was down); open descriptors and memory flat;
# where the service serves them, /healthz answers throughout and /readyz follows the
# directory. Prints a short report; exits non-zero when a check failed.
#
#   scripts/soak-lookupd.sh [DURATION] [--rate REQUESTS_PER_SECOND]
#
# DURATION in seconds, or as 30s or 10m (default 10m). Everything runs as the calling user
# on 127.0.0.1, from a temporary folder: never the system's nginx or slapd.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

duration=600
rate=""
while [ $# -gt 0 ]; do
    case "$1" in
        --rate) rate="$2"; shift 2 ;;
        *[0-9]m) duration=$((${1%m} * 60)); shift ;;
        *[0-9]s) duration="${1%s}"; shift ;;
        [0-9]*) duration="$1"; shift ;;
        *) sed -n '/^#   scripts\/soak-lookupd.sh/p' "$0" | sed 's/^# *//' >&2; exit 2 ;;
    esac
done
if [[ ! "$duration" =~ ^[0-9]+$ ]] || [ "$duration" -lt 20 ]; then
    echo "soak-lookupd.sh: DURATION must be at least 20 s" >&2
    exit 2
fi

source bench/lookupd/lib.sh
prepare_service_build brisvane-lookupd
binary=build/service/lookupd/brisvane-lookupd

begin_work  # $work, the processes in $pids, all stopped and removed on exit

now_ms() { date +%s%3N; }

members=10000
directory_connections=8  # the service's default [directory] connections
members_ldif "$members" >"$work/members.ldif"
ldap_port="$(free_port)"
slapd_start "$work/slapd" "$ldap_port" "$work/members.ldif"
(umask 077 && echo lookup-secret >"$work/bind-password")
make_test_pki "$work/pki"

# The two instances, each with its health address.
declare -a port observe pid_of
for i in 1 2; do
    port[i]="$(free_port)"
    observe[i]="$(free_port)"
    service_config "$work/lookupd-$i.toml" "127.0.0.1:${port[i]}" "$ldap_port" \
        "$work/bind-password" "$work/pki/localhost.pem" "$work/pki/localhost.key"
    printf '[observe]\naddress = "127.0.0.1:%s"\n' "${observe[i]}" >>"$work/lookupd-$i.toml"
    start_service "$binary" "$work/lookupd-$i.toml" "$work/lookupd-$i.log" "${port[i]}"
    pid_of[i]="$service_pid"
    disown "$service_pid"  # its kill below is no job notice of the shell's
    pids+=("$service_pid")
done

# The load balancer, as docs/lookup-service.md shows it.
balancer_port="$(free_port)"
mkdir -p "$work/nginx"
cp "$work/pki/ca.pem" "$work/nginx/campus-ca.pem"
balancer_config "${port[1]}" "${port[2]}" "127.0.0.1:$balancer_port" campus-ca.pem \
    >"$work/nginx/nginx.conf"
start_nginx "$work/nginx" "$work/nginx/nginx.conf" "$balancer_port"
nginx_master="$nginx_pid"
pids+=("$nginx_pid")
url="http://127.0.0.1:$balancer_port$LOOKUP_PATH"
curl -sS --fail -d user=m00042 "$url" | grep -q 'smb://files1.campus.example/homes/m00042' || {
    echo "soak-lookupd.sh: no answer through the balancer:" >&2
    cat "$work/nginx/logs/error.log" "$work/lookupd-1.log" >&2
    exit 1
}

if [ -z "$rate" ]; then
    probe=$((duration / 60 < 3 ? 3 : (duration / 60 > 10 ? 10 : duration / 60)))
    echo "=== Measuring the maximum rate through the balancer (${probe} s, 16 connections)"
    line="$(run_wrk "$url" 16 "${probe}s" LOOKUP_MEMBERS="$members")"
    maximum="$(field "$line" rps)"
    rate="$(awk -v m="$maximum" 'BEGIN { printf "%d", m / 2 }')"
    rate_note="half of the measured ${maximum%.*}/s"
else
    rate_note="as given"
fi
[ "$rate" -ge 1 ] || { echo "soak-lookupd.sh: a rate of $rate requests/s is no load" >&2; exit 1; }

# The timeline, in seconds from the start of the load.
outage=$((duration * 20 / 600))
[ "$outage" -ge 3 ] || outage=3
at_stop=$((duration * 3 / 10))
at_hup=$((duration * 6 / 10))
at_kill=$((duration * 8 / 10))
grace_ms=5000  # after slapd answers again: the directory time-out (3 s) and a margin

mkdir -p "$work/status"
echo "=== Soaking for $duration s at $rate requests/s ($rate_note)"
start_ms="$(now_ms)"
env LOOKUP_PATH="$LOOKUP_PATH" LOOKUP_MEMBERS="$members" LOOKUP_RATE="$rate" LOOKUP_THREADS=2 \
    LOOKUP_LOG_DIR="$work/status" wrk -t 2 -c 32 -d "${duration}s" --timeout 10s \
    -s bench/lookupd/lookup.lua "$url" >"$work/wrk.out" 2>&1 &
wrk_pid=$!
pids+=("$wrk_pid")

# Health: the status of GET http://127.0.0.1:PORT/PATH (000 when nothing answers).
probe_status() {
    curl -s -o /dev/null -m 2 -w '%{http_code}' "http://127.0.0.1:$1$2" || true
}
# Samples every second, per live instance:
#   ms instance rss_kib fds client_sockets directory_sockets healthz readyz readyz_answered_ms
sampler() {
    local i pid fds clients directory
    while kill -0 "$wrk_pid" 2>/dev/null; do
        for i in 1 2; do
            pid="${pid_of[i]}"
            grep -q '^VmRSS' "/proc/$pid/status" 2>/dev/null || continue  # gone, or a zombie
            fds="$(find "/proc/$pid/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)"
            clients="$(ss -Htanp "sport = :${port[i]}" 2>/dev/null | grep -c "pid=$pid," || true)"
            directory="$(ss -Htanp "dport = :$ldap_port" 2>/dev/null | grep -c "pid=$pid," ||
                true)"
            echo "$(now_ms) $i $(rss_kib "$pid") $fds $clients $directory" \
                "$(probe_status "${observe[i]}" /healthz) $(probe_status "${observe[i]}" /readyz)" \
                "$(now_ms)"
        done
        sleep 1
    done
}
sampler >"$work/samples" &
sampler_pid=$!
pids+=("$sampler_pid")

wait_until() { # seconds from the start
    local due=$((start_ms + $1 * 1000))
    while [ "$(now_ms)" -lt "$due" ]; do
        sleep 0.1
    done
}
at() { echo "  t=$(((($(now_ms) - start_ms) + 500) / 1000))s $*"; }

events=()
wait_until "$at_stop"
alive_before_outage=yes
for i in 1 2; do kill -0 "${pid_of[i]}" 2>/dev/null || alive_before_outage=""; done
down_ms="$(now_ms)"
slapd_stop "$work/slapd"
gone_ms="$(now_ms)"
events+=("$(at "slapd stopped")")
wait_until $((at_stop + outage))
slapd_start "$work/slapd" "$ldap_port"
up_ms="$(now_ms)"
events+=("$(at "slapd started again and answering")")

wait_until "$at_hup"
lines_before=()
for i in 1 2; do
    lines_before[i]="$(wc -l <"$work/lookupd-$i.log")"
    kill -HUP "${pid_of[i]}"
done
events+=("$(at "SIGHUP to both instances")")

wait_until "$at_kill"
alive_before_kill=yes
for i in 1 2; do kill -0 "${pid_of[i]}" 2>/dev/null || alive_before_kill=""; done
kill -KILL "${pid_of[1]}"
kill_ms="$(now_ms)"
events+=("$(at "instance 1 killed (SIGKILL)")")

wait "$wrk_pid" || true
end_ms="$(now_ms)"
alive_at_end=yes
kill -0 "${pid_of[2]}" 2>/dev/null || alive_at_end=""
kill -0 "$nginx_master" 2>/dev/null || alive_at_end=""
wait "$sampler_pid" 2>/dev/null || true

# What SIGHUP made the instances say (their lines that are not request lines).
hup_said=()
for i in 1 2; do
    said="$(tail -n +"$((lines_before[i] + 1))" "$work/lookupd-$i.log" | grep -v '^lookup ' |
        head -3 | paste -sd ';' || true)"
    hup_said[i]="${said:-nothing}"
done

# --- The checks
failures=0
check() { # check OK|FAIL TEXT
    echo "  $1  ${*:2}"
    [ "$1" = OK ] || failures=$((failures + 1))
}
result="$(grep '^result ' "$work/wrk.out" || true)"
[ -n "$result" ] || { echo "wrk gave no result:" >&2; cat "$work/wrk.out" >&2; exit 1; }
cat "$work"/status/*.log 2>/dev/null | sort -n >"$work/statuses" || true
requests="$(field "$result" requests)"
socket_errors="$(field "$result" errors)"
count_503="$(awk '$2 == 503' "$work/statuses" | wc -l)"
others="$(awk '$2 != 503 { n[$2]++ } END { for (s in n) printf "%s %s times, ", s, n[s] }' \
    "$work/statuses")"
window_end=$((up_ms + grace_ms))
outside="$(awk -v a="$down_ms" -v b="$window_end" '$2 == 503 && ($1 < a || $1 > b)' \
    "$work/statuses" | wc -l)"
last_503="$(awk '$2 == 503 { t = $1 } END { printf "%.0f", t }' "$work/statuses")"

echo
echo "Soak report: brisvane-lookupd, $duration s at $rate requests/s ($rate_note), two instances"
echo "(HTTPS, default settings) behind nginx on slapd with $members members"
printf '%s\n' "${events[@]}"
echo "  t=$(((end_ms - start_ms) / 1000))s load stopped"
last_note=""
if [ "$count_503" -gt 0 ] && [ "$last_503" -ge "$up_ms" ]; then
    last_note="; the last 503 $((last_503 - up_ms)) ms after slapd answered again"
elif [ "$count_503" -gt 0 ]; then
    last_note="; the last 503 $((up_ms - last_503)) ms before slapd answered our probe again"
fi
echo "Requests: $requests answered; 503: $count_503 (slapd down from" \
    "t=$(((down_ms - start_ms) / 1000))s to t=$(((up_ms - start_ms) / 1000))s$last_note)"
echo "SIGHUP: instance 1 said: ${hup_said[1]}; instance 2 said: ${hup_said[2]}"

# Memory and descriptors of instance I in [FROM, TO) seconds: "median_rss max_other_fds
# last_other_fds max_directory_sockets samples", where other fds are those that are neither a
# client's connection nor the directory's.
window() {
    awk -v i="$1" -v a=$((start_ms + $2 * 1000)) -v b=$((start_ms + $3 * 1000)) '
        $2 == i && $1 >= a && $1 < b {
            rss[++n] = $3; other = $4 - $5 - $6
            if (other > max_other) max_other = other
            last_other = other
            if ($6 > max_dir) max_dir = $6
        }
        END {
            for (x = 1; x <= n; x++) for (y = x + 1; y <= n; y++)
                if (rss[y] < rss[x]) { t = rss[x]; rss[x] = rss[y]; rss[y] = t }
            printf "%d %d %d %d %d\n", n ? rss[int((n + 1) / 2)] : 0, max_other, last_other,
                   max_dir, n
        }' "$work/samples"
}
read -ra first_window <<<"$(window 2 $((duration * 2 / 10)) "$at_stop")"
read -ra second_window <<<"$(window 2 $((duration * 7 / 10)) "$at_kill")"
# The end: every sample after the kill, when instance 2 carries all the load (the sampler's
# round takes longer under load, so a narrower window may hold no sample at all).
read -ra end_window <<<"$(window 2 $((at_kill + 1)) $((duration + 5)))"
echo "Instance 2: memory $((first_window[0] / 1024)) MiB before the outage," \
    "$((second_window[0] / 1024)) MiB before the kill, $((end_window[0] / 1024)) MiB at the end" \
    "(with all the load); descriptors besides connections ${first_window[2]} → ${end_window[2]};" \
    "directory connections at most ${end_window[3]} at the end"
# Health samples, without instance 1's from a moment before its kill.
awk -v k=$((kill_ms - 1500)) '!($2 == 1 && $1 > k)' "$work/samples" >"$work/health"
health_served="$(awk '$7 != 404 && $7 != "000"' "$work/health" | wc -l)"

echo "Checks:"
if [ -n "$alive_before_outage" ] && [ -n "$alive_before_kill" ] && [ -n "$alive_at_end" ]; then
    check OK "no crash: both instances ran until the kill, instance 2 and nginx to the end"
else
    check FAIL "a crash: alive before the outage: ${alive_before_outage:-no}, before the kill:" \
        "${alive_before_kill:-no}, instance 2 and nginx at the end: ${alive_at_end:-no}"
fi
if [ "$socket_errors" = 0 ] && [ -z "$others" ]; then
    check OK "every request answered: no socket error or time-out, only 200 and 503"
else
    check FAIL "requests without an answer: connect=${result#* connect=};" \
        "other statuses: ${others:-none}"
fi
if [ "$outside" = 0 ] && [ "$count_503" -gt 0 ]; then
    check OK "503 only while slapd was down (and within $((grace_ms / 1000)) s of its return)"
elif [ "$count_503" = 0 ]; then
    check FAIL "no 503 while slapd was down: the outage did not reach the service"
else
    check FAIL "$outside answers 503 outside slapd's outage"
fi
# SIGHUP starts a new server with the certificate read again: that costs about 2 MiB once,
# after which RSS stays flat (120 SIGHUPs more: +4 KiB). A leak per lookup shows on top of it:
# the half of the run between the two windows is some 500,000 lookups per instance.
rss_limit=$((first_window[0] + first_window[0] / 10 + 3072))
if [ "${first_window[4]}" -gt 0 ] && [ "${second_window[4]}" -gt 0 ] &&
    [ "${second_window[0]}" -le "$rss_limit" ]; then
    check OK "memory flat: ${first_window[0]} KiB before the outage, ${second_window[0]} KiB" \
        "after it and SIGHUP (under the same load)"
else
    check FAIL "memory grew: ${first_window[0]} KiB before the outage, ${second_window[0]} KiB" \
        "after it and SIGHUP (limit $rss_limit KiB; ${first_window[4]}/${second_window[4]} samples)"
fi
if [ "${end_window[4]}" -gt 0 ] && [ "${end_window[2]}" -le $((first_window[2] + 1)) ] &&
    [ "${end_window[3]}" -le "$directory_connections" ]; then
    check OK "descriptors flat: ${first_window[2]} besides connections before the outage," \
        "${end_window[2]} at the end; at most ${end_window[3]} directory connections" \
        "(of $directory_connections)"
elif [ "${end_window[4]}" -eq 0 ]; then
    check FAIL "descriptors: no sample of instance 2 after the kill"
else
    check FAIL "descriptors grew: ${first_window[2]} besides connections before the outage," \
        "${end_window[2]} at the end; ${end_window[3]} directory connections (of" \
        "$directory_connections)"
fi
if [ "$health_served" -eq 0 ]; then
    echo "  --  /healthz and /readyz: not served by this build of the service (404 or no" \
        "answer on the [observe] address): not checked"
else
    healthz_bad="$(awk '$7 != 200' "$work/health" | wc -l)"
    # /readyz was asked between $9 - 2 s (curl's time-out) and $9: 503 is wrong when that was
    # wholly outside the outage and its grace, 200 when slapd was gone all along.
    readyz_bad="$(awk -v a="$down_ms" -v g="$gone_ms" -v b="$window_end" -v u="$up_ms" '
        ($8 != 200 && $8 != 503) ||
        ($8 == 503 && ($9 < a || $9 - 2000 > b)) || ($8 == 200 && $9 - 2000 > g && $9 < u)' \
        "$work/health" | wc -l)"
    if [ "$healthz_bad" = 0 ] && [ "$readyz_bad" = 0 ]; then
        check OK "/healthz 200 throughout; /readyz 503 while slapd was down, 200 otherwise"
    else
        check FAIL "health: $healthz_bad /healthz samples not 200, $readyz_bad /readyz samples" \
            "that disagree with the directory"
    fi
fi
if [ "$failures" -gt 0 ]; then
    echo "soak-lookupd.sh: $failures check(s) failed; logs were in $work (removed)" >&2
    exit 1
fi
echo "All checks passed."
