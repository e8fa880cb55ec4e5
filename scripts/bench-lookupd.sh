#!/usr/bin/env bash
# Measures brisvane-lookupd next to what limits it, on this machine, with wrk sending the
# client's own request (POST, form content type, user=<name>) for members drawn at random from
# a directory of 10,000:
#   service          brisvane-lookupd over HTTP on slapd
#   directory        the same searches straight to slapd (bench/lookupd/ldap_search_bench.cpp),
#                    the ceiling of a service that sends one search per lookup
#   directory (paced) the same, held to the rate the service reached just before with as many
#                    connections (separate placement): slapd's cost per search at a like rate
#   nginx            nginx serving a static page of the same size as the service's answer
#   service (https)  brisvane-lookupd over TLS, keep-alive
#   service (cache)  brisvane-lookupd over HTTP with [cache] ttl = "3600s" (longer than the
#                    run), warmed before the rounds; the share of lookups it answered from the
#                    cache during the rounds is printed
# at 1, 16 and 64 connections, in two placements:
#   separate    the production shape, where the directory has a machine of its own: slapd on
#               core 0, the service, nginx and the load generators on core 1 (taskset); the
#               service, directory, directory (paced) and nginx rows
#   shared      everything on every core, as on one machine; all five rows
# Each figure is the median of ROUNDS interleaved rounds of SECONDS each (requests/s with its
# range), with the CPU time per lookup of the target itself (the service or nginx), of slapd and
# of the load generator (wrk or the directory client), from /proc, and how busy each core was;
# under the separate table, the goals' ratios taken round by round, with their range. Then the
# resident memory of a fresh service (16 connections) after 100,000 and 1,000,000 requests, and
# that of a fresh cached one after 500,000 and 1,000,000 requests for 200,000 different names
# (10,000 members, the others unknown), more than its max_entries (the default, 100,000) holds.
# slapd and nginx run from private configurations in a temporary folder on 127.0.0.1, never the
# system's instances.
#
#   scripts/bench-lookupd.sh [--rounds N] [--seconds S] [--no-memory] [--directory SETTING]...
#
# --directory adds a [directory] setting to the services' configuration ("connections = 8"),
# to compare settings; without it they run on the defaults.
#
# The output ends with one line per connection count for the service with the cache (shared
# cores), then one per connection count for the default service (separate cores), for other
# tools to read:
#   cache connections 16: service 20000/s directory 1500/s nginx 9000/s service/directory ...
#   connections 16: service 1234/s directory 1500/s nginx 9000/s service/directory 0.82 ...
# Exits non-zero when a measured request failed (a benchmark of errors measures nothing).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

rounds=5
seconds=3
memory=yes
export LOOKUP_DIRECTORY_SETTINGS=""  # read by service_config
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) rounds="$2"; shift 2 ;;
        --seconds) seconds="$2"; shift 2 ;;
        --no-memory) memory=""; shift ;;
        --directory) LOOKUP_DIRECTORY_SETTINGS+="${LOOKUP_DIRECTORY_SETTINGS:+$'\n'}$2"; shift 2 ;;
        *) sed -n '/^#   scripts\/bench-lookupd.sh/p' "$0" | sed 's/^# *//' >&2; exit 2 ;;
    esac
done

source bench/lookupd/lib.sh
prepare_service_build brisvane-lookupd brisvane_ldap_search_bench
binary=build/service/lookupd/brisvane-lookupd
ldap_client=build/service/bench/lookupd/brisvane_ldap_search_bench

begin_work  # $work, the processes in $pids, all stopped and removed on exit

members=10000
echo "=== A directory of $members members"
members_ldif "$members" >"$work/members.ldif"
ldap_port="$(free_port)"
slapd_start "$work/slapd" "$ldap_port" "$work/members.ldif"
(umask 077 && echo lookup-secret >"$work/bind-password")
make_test_pki "$work/pki"

http_port="$(free_port)"
service_config "$work/http.toml" "127.0.0.1:$http_port" "$ldap_port" "$work/bind-password"
start_service "$binary" "$work/http.toml" "$work/http.log" "$http_port"
pids+=("$service_pid")
http_pid=$service_pid
https_port="$(free_port)"
service_config "$work/https.toml" "127.0.0.1:$https_port" "$ldap_port" "$work/bind-password" \
    "$work/pki/localhost.pem" "$work/pki/localhost.key"
start_service "$binary" "$work/https.toml" "$work/https.log" "$https_port"
pids+=("$service_pid")
https_pid=$service_pid
# cached_config FILE ADDRESS OBSERVE_ADDRESS: the plain service's settings with the cache on
# for longer than any run, and its metrics on OBSERVE_ADDRESS.
cached_config() {
    service_config "$1" "$2" "$ldap_port" "$work/bind-password"
    printf '[cache]\nttl = "3600s"\n[observe]\naddress = "%s"\n' "$3" >>"$1"
}
cache_port="$(free_port)"
cache_observe="127.0.0.1:$(free_port)"
cached_config "$work/cache.toml" "127.0.0.1:$cache_port" "$cache_observe"
start_service "$binary" "$work/cache.toml" "$work/cache.log" "$cache_port"
pids+=("$service_pid")
cache_pid=$service_pid
# A counter of the cached service's /metrics: cache_counter ADDRESS NAME.
cache_counter() {
    curl -sS --fail "http://$1/metrics" | awk -v n="$2" '$1 == n { print $2 }'
}

# nginx's page: the service's own answer for a member, as a file. nginx's static module
# refuses a POST with 405; error_page turns that into the file, as for a GET.
page="$work/nginx/html$LOOKUP_PATH"
mkdir -p "$(dirname "$page")"
curl -sS --fail -d user=m00042 -o "$page" "http://127.0.0.1:$http_port$LOOKUP_PATH"
grep -q 'smb://files1.campus.example/homes/m00042' "$page" || {
    echo "bench-lookupd.sh: the service did not find member m00042:" >&2
    cat "$page" "$work/http.log" >&2
    exit 1
}
chmod -R a+rX "$work/nginx"
nginx_port="$(free_port)"
{
    nginx_common_config
    echo "http {"
    nginx_http_common_config
    cat <<CONF
    server {
        listen 127.0.0.1:$nginx_port;
        location = $LOOKUP_PATH {
            root html;
            default_type text/html;
            error_page 405 =200 \$uri;
        }
    }
}
CONF
} >"$work/nginx/nginx.conf"
start_nginx "$work/nginx" "$work/nginx/nginx.conf" "$nginx_port"
pids+=("$nginx_pid")

slapd_pid="$(cat "$work/slapd/slapd.pid")"
if [ "$(nproc)" -lt 2 ]; then
    echo "bench-lookupd.sh: the separate placement needs two cores, this machine has $(nproc)" >&2
    exit 1
fi
all_cores="0-$(($(nproc) - 1))"

# place PLACEMENT: slapd on core 0 and the rest on core 1 (separate), or all on every core
# (shared). The load generators follow the benchmark's shell, which `measure` places too.
place() {
    local slapd_cores="$all_cores" other_cores="$all_cores" pid
    if [ "$1" = separate ]; then
        slapd_cores=0
        other_cores=1
    fi
    taskset -a -p -c "$slapd_cores" "$slapd_pid" >/dev/null
    for pid in "$http_pid" "$https_pid" "$cache_pid" "$nginx_pid" $(pgrep -P "$nginx_pid"); do
        taskset -a -p -c "$other_cores" "$pid" >/dev/null
    done
    load_cores="$other_cores"
}

# Clock ticks of CPU time (user and system, every thread) of the processes PID...
cpu_ticks() {
    local pid total=0
    for pid in "$@"; do
        total=$((total + $(sed 's/.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 }')))
    done
    echo "$total"
}
# Busy and total clock ticks of cores 0 and 1 so far: "busy0 total0 busy1 total1".
core_ticks() {
    awk '$1 == "cpu0" || $1 == "cpu1" {
        total = 0; for (i = 2; i <= NF; i++) total += $i
        printf "%d %d ", total - $5 - $6, total }' /proc/stat
}

# The load of one measurement: load TARGET CONNECTIONS SECONDS; prints the "result ..." line.
load() {
    local target="$1" connections="$2" duration="$3"
    case "$target" in
        service) run_wrk "http://127.0.0.1:$http_port$LOOKUP_PATH" "$connections" "${duration}s" \
            LOOKUP_MEMBERS="$members" ;;
        https) run_wrk "https://localhost:$https_port$LOOKUP_PATH" "$connections" \
            "${duration}s" LOOKUP_MEMBERS="$members" ;;
        cache) run_wrk "http://127.0.0.1:$cache_port$LOOKUP_PATH" "$connections" \
            "${duration}s" LOOKUP_MEMBERS="$members" ;;
        nginx) run_wrk "http://127.0.0.1:$nginx_port$LOOKUP_PATH" "$connections" \
            "${duration}s" LOOKUP_MEMBERS="$members" ;;
        directory | paced) "$ldap_client" "ldap://127.0.0.1:$ldap_port" "$LOOKUP_BIND_DN" \
            "$work/bind-password" "ou=people,dc=campus,dc=example" "(uid=%s)" homeDirectory \
            "$members" "$connections" "$duration" ${pace_rate:+"$pace_rate"} ;;
    esac
}

# One measurement in the current placement: measure TARGET CONNECTIONS SECONDS; prints the
# load's "result ..." line with the CPU microseconds per lookup of the target itself (own_us,
# none for the directory, whose client is the load), of slapd (slapd_us) and of the load
# generator (load_us), and the share of cores 0 and 1 that was busy (core0, core1).
measure() {
    local target="$1" connections="$2" duration="$3" own=() line own0 slapd0 cores0 cores1
    local TIMEFORMAT='%3U %3S'
    case "$target" in
        service) own=("$http_pid") ;;
        https) own=("$https_pid") ;;
        cache) own=("$cache_pid") ;;
        nginx) mapfile -t own < <(echo "$nginx_pid"; pgrep -P "$nginx_pid") ;;
    esac
    own0="$(cpu_ticks "${own[@]}")"
    slapd0="$(cpu_ticks "$slapd_pid")"
    cores0="$(core_ticks)"
    { time line="$(taskset -p -c "$load_cores" "$BASHPID" >/dev/null &&
        load "$target" "$connections" "$duration")"; } 2>"$work/load-time" || return 1
    cores1="$(core_ticks)"
    awk -v line="$line" -v own="$(($(cpu_ticks "${own[@]}") - own0))" -v has_own="${#own[@]}" \
        -v slapd="$(($(cpu_ticks "$slapd_pid") - slapd0))" -v tick="$(getconf CLK_TCK)" \
        -v load="$(cat "$work/load-time")" -v before="$cores0" -v after="$cores1" 'BEGIN {
        n = split(line, f, /[ =]/)
        for (i = 2; i < n; i += 2) if (f[i] == "requests") requests = f[i + 1]
        split(load, l, " "); split(before, b, " "); split(after, a, " ")
        us = requests > 0 ? 1e6 / tick / requests : 0
        printf "%s own_us=%s slapd_us=%.1f load_us=%.1f core0=%.0f core1=%.0f\n", line,
            (has_own > 0 ? sprintf("%.1f", own * us) : "-"), slapd * us,
            (l[1] + l[2]) * tick * us, 100 * (a[1] - b[1]) / (a[2] - b[2] + 1e-9),
            100 * (a[3] - b[3]) / (a[4] - b[4] + 1e-9) }'
}

declare -A targets_of=([separate]="service directory nginx" [shared]="service directory nginx https cache")
# The tables' rows: the targets, and in the separate placement the directory paced to the rate the
# service has just reached (measured right after the service, in every round).
declare -A rows_of=([separate]="service directory paced nginx" [shared]="${targets_of[shared]}")
placements=(separate shared)
connection_counts=(1 16 64)
echo "=== Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)," \
    "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -sr)"
echo "    load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "    slapd $(dpkg-query -W -f='${Version}' slapd), nginx $(dpkg-query -W -f='${Version}' nginx)," \
    "wrk $(dpkg-query -W -f='${Version}' wrk); service: $(grep -c . "$work/http.toml") lines of" \
    "settings${LOOKUP_DIRECTORY_SETTINGS:+, [directory] ${LOOKUP_DIRECTORY_SETTINGS//$'\n'/; }}"
echo "=== Warming up"
place shared
for target in ${targets_of[shared]}; do
    measure "$target" 16 1 >/dev/null
done
# The cache's warm-up: 5 s of random members at 16 connections asks nearly every one of them.
measure cache 16 5 >/dev/null
hits_before="$(cache_counter "$cache_observe" brisvane_cache_hits_total)"
misses_before="$(cache_counter "$cache_observe" brisvane_cache_misses_total)"

# measure_once TARGET: one measurement at $connections in $placement, into $results and $line.
measure_once() {
    local target="$1" errors non200
    line="$(measure "$target" "$connections" "$seconds")" || line="result rps=0"
    errors="$(field "$line" errors)"
    non200="$(field "$line" non200)"
    if [ "${errors:-1}" != 0 ] || [ "${non200:-1}" != 0 ]; then
        echo "    $target at $connections connections ($placement): FAILED REQUESTS: $line" >&2
        failed=yes
    fi
    echo "$placement $target $connections $(field "$line" rps)" \
        "$(field "$line" p50_ms) $(field "$line" p99_ms) $(field "$line" own_us)" \
        "$(field "$line" slapd_us) $(field "$line" load_us) $(field "$line" core0)" \
        "$(field "$line" core1) $round" >>"$results"
}

# Rounds: every placement, target and connection count once per round, the placements and
# targets in a different order each round, so that a busy machine hurts all of them alike.
results="$work/results"
failed=""
for round in $(seq "$rounds"); do
    echo "=== Round $round of $rounds"
    for p in 0 1; do
        placement="${placements[$(((p + round) % 2))]}"
        place "$placement"
        read -ra targets <<<"${targets_of[$placement]}"
        for connections in "${connection_counts[@]}"; do
            for i in "${!targets[@]}"; do
                target="${targets[$(((i + round) % ${#targets[@]}))]}"
                pace_rate=""
                measure_once "$target"
                if [ "$placement" = separate ] && [ "$target" = service ]; then
                    pace_rate="$(field "$line" rps)"
                    measure_once paced
                fi
            done
        done
    done
done
place shared

hits=$(($(cache_counter "$cache_observe" brisvane_cache_hits_total) - hits_before))
misses=$(($(cache_counter "$cache_observe" brisvane_cache_misses_total) - misses_before))

# The median of the numbers on standard input, "-" without any: as it is, or with DECIMALS
# decimals and the range, "1.23 (1.10 – 1.31)": summarise [DECIMALS].
summarise() {
    sort -g | awk -v d="${1:-}" '{ v[NR] = $1 } END {
        if (NR == 0) { print "-"; exit }
        m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        if (d == "") print m; else printf "%.*f (%.*f – %.*f)\n", d, m, d, v[1], d, v[NR] }'
}

# Column COLUMN of the results of PLACEMENT, TARGET at CONNECTIONS, one round a line:
# figures PLACEMENT TARGET CONNECTIONS COLUMN.
figures() {
    awk -v p="$1" -v t="$2" -v c="$3" -v k="$4" '$1 == p && $2 == t && $3 == c && $k != "-" {
        print $k }' "$results"
}

# The median of a column: median PLACEMENT TARGET CONNECTIONS COLUMN.
median() {
    figures "$@" | summarise
}

# The median of a ratio taken round by round, with its range: ratio PLACEMENT CONNECTIONS
# TARGET COLUMN OVER_TARGET OVER_COLUMN DECIMALS prints "1.23 (1.10 – 1.31)".
ratio() {
    awk -v p="$1" -v c="$2" -v t="$3" -v k="$4" -v u="$5" -v j="$6" '$1 == p && $3 == c {
        if ($2 == t) top[$12] = $k; if ($2 == u) bottom[$12] = $j }
        END { for (r in top) if (r in bottom && bottom[r] > 0) print top[r] / bottom[r] }' \
        "$results" | summarise "$7"
}

# A figure with DECIMALS decimals, or "-" as it is: shown DECIMALS FIGURE.
shown() {
    if [ "$2" = - ]; then echo -; else printf '%.*f' "$1" "$2"; fi
}

declare -A rps
# table PLACEMENT: the medians of that placement's rounds.
table() {
    local placement="$1" connections target label ratios
    read -ra targets <<<"${rows_of[$placement]}"
    printf '%-11s %-17s %23s %8s %8s %10s %7s %8s %8s %8s %6s %6s\n' connections target \
        requests/s p50 p99 /directory /nginx own_us slapd_us load_us core0 core1
    for connections in "${connection_counts[@]}"; do
        for target in "${targets[@]}"; do
            rps[$placement.$target.$connections]="$(median "$placement" "$target" "$connections" 4)"
        done
        for target in "${targets[@]}"; do
            label="$target"
            ratios=("" "")
            case "$target" in
                paced) label="directory (paced)" ;;
                service | https | cache)
                    label="service (http)"
                    [ "$target" = https ] && label="service (https)"
                    [ "$target" = cache ] && label="service (cache)"
                    read -ra ratios <<<"$(awk -v s="${rps[$placement.$target.$connections]}" \
                        -v d="${rps[$placement.directory.$connections]}" \
                        -v n="${rps[$placement.nginx.$connections]}" \
                        'BEGIN { printf "%.2f %.2f", (d > 0 ? s / d : 0), (n > 0 ? s / n : 0) }')"
                    ;;
            esac
            printf '%-11s %-17s %23s %8.3f %8.3f %10s %7s %8s %8s %8s %6s %6s\n' \
                "$connections" "$label" \
                "$(figures "$placement" "$target" "$connections" 4 | summarise 0)" \
                "$(median "$placement" "$target" "$connections" 5)" \
                "$(median "$placement" "$target" "$connections" 6)" "${ratios[0]}" \
                "${ratios[1]}" "$(shown 1 "$(median "$placement" "$target" "$connections" 7)")" \
                "$(shown 1 "$(median "$placement" "$target" "$connections" 8)")" \
                "$(shown 1 "$(median "$placement" "$target" "$connections" 9)")" \
                "$(shown 0 "$(median "$placement" "$target" "$connections" 10)")" \
                "$(shown 0 "$(median "$placement" "$target" "$connections" 11)")"
        done
    done
}

echo
echo "Medians of $rounds rounds of ${seconds} s; latency in ms; requests/s of the service over" \
    "the directory's and nginx's; CPU microseconds per lookup of the target itself, of slapd and"
echo "of the load generator; busy % of cores 0 and 1."
echo
echo "Separate: slapd on core 0, the service, nginx and the load generators on core 1"
table separate
# The goals, on the separate placement: ratios taken round by round, their median and range.
for connections in 16 64; do
    echo "    at $connections: service/directory" \
        "$(ratio separate "$connections" service 4 directory 4 2) (goal >= 0.85; or, when core 1" \
        "saturates, the service's own CPU per lookup $(shown 1 "$(median separate service \
        "$connections" 7)") µs at most nginx's $(shown 1 "$(median separate nginx "$connections" \
        7)") plus the direct client's $(shown 1 "$(median separate directory "$connections" 9)"))"
    echo "           slapd CPU per search through the service over direct" \
        "$(ratio separate "$connections" service 8 directory 8 2) (goal <= 1.1), over direct" \
        "at the same rate (paced) $(ratio separate "$connections" service 8 paced 8 2)"
    echo "           p99 through the service over direct" \
        "$(ratio separate "$connections" service 6 directory 6 2)$([ "$connections" = 64 ] &&
            echo " (goal <= 2)")"
done
echo
echo "Shared: everything on every core"
table shared
echo "service (cache): $hits of the $((hits + misses)) lookups in the rounds answered from the" \
    "cache ($(awk -v h="$hits" -v m="$misses" 'BEGIN { printf "%.1f", (h + m > 0 ? 100 * h / (h + m) : 0) }')%)"

# memory_run CONFIG LOG PORT NAMES FIRST: a fresh service of CONFIG answers 1,000,000 requests
# at 16 connections for names drawn from NAMES; its resident memory in KiB after FIRST and after
# 1,000,000 requests goes to $sample; $service_pid is the service, still running.
memory_run() {
    local config="$1" log="$2" port="$3" names="$4" first="$5" wrk_pid target kib
    start_service "$binary" "$config" "$log" "$port"
    pids+=("$service_pid")
    echo "    at start: $(rss_kib "$service_pid") KiB"
    env LOOKUP_PATH="$LOOKUP_PATH" LOOKUP_MEMBERS="$names" wrk -t 2 -c 16 -d 3600s \
        --timeout 10s -s bench/lookupd/lookup.lua "http://127.0.0.1:$port$LOOKUP_PATH" \
        >"$log.wrk" 2>&1 &
    wrk_pid=$!
    pids+=("$wrk_pid")
    sample=()
    for target in "$first" 1000000; do
        # The service logs one line per request: its count is the number of requests answered.
        while [ "$(grep -c '^lookup ' "$log" || true)" -lt "$target" ]; do
            kill -0 "$wrk_pid" 2>/dev/null || { echo "wrk stopped early" >&2; exit 1; }
            sleep 1
        done
        kib="$(rss_kib "$service_pid")"
        sample+=("$kib")
        echo "    after $(grep -c '^lookup ' "$log") requests: $kib KiB"
    done
    kill -INT "$wrk_pid"  # wrk stops and prints its result
    wait "$wrk_pid" || true
    if ! grep -q 'errors=0 non200=0' "$log.wrk"; then
        echo "    FAILED REQUESTS during the memory run: $(cat "$log.wrk")" >&2
        failed=yes
    fi
}

if [ -n "$memory" ]; then
    echo
    echo "=== Resident memory of a fresh service after 100,000 and 1,000,000 requests (16 connections)"
    stop_pid "${pids[0]}"
    memory_port="$(free_port)"
    service_config "$work/memory.toml" "127.0.0.1:$memory_port" "$ldap_port" \
        "$work/bind-password"
    memory_run "$work/memory.toml" "$work/memory.log" "$memory_port" "$members" 100000
    stop_pid "$service_pid"
    growth=$((sample[1] - sample[0]))
    if [ "$growth" -gt 1024 ]; then
        memory_line="memory: GREW by $growth KiB between 100,000 and 1,000,000 requests"
        failed=yes
    else
        memory_line="memory: flat between 100,000 and 1,000,000 requests (${growth} KiB),"
        memory_line+=" $((sample[1] / 1024)) MiB resident after 1,000,000"
    fi

    echo "=== The same for a fresh service with the cache, names drawn from 200,000, after 500,000"
    echo "    and 1,000,000 requests"
    stop_pid "$cache_pid"
    memory_port="$(free_port)"
    cache_observe="127.0.0.1:$(free_port)"
    cached_config "$work/memory-cache.toml" "127.0.0.1:$memory_port" "$cache_observe"
    memory_run "$work/memory-cache.toml" "$work/memory-cache.log" "$memory_port" 200000 500000
    entries="$(cache_counter "$cache_observe" brisvane_cache_entries)"
    evictions="$(cache_counter "$cache_observe" brisvane_cache_evictions_total)"
    if [ "${entries:-0}" -gt 100000 ]; then
        echo "cache memory: the cache holds $entries answers, more than max_entries (100,000)"
        failed=yes
    fi
    echo "$memory_line"
    echo "cache memory: $((sample[1] / 1024)) MiB resident after 1,000,000 requests" \
        "($((sample[1] - sample[0])) KiB since 500,000), $entries answers held," \
        "$evictions evicted (max_entries 100,000)"
fi

echo
echo "    load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
# The lines for other tools: the cached service's ("cache connections ...", shared cores), then
# the default's (separate cores).
for prefix in "cache " ""; do
    target=service
    placement=separate
    [ -n "$prefix" ] && target=cache && placement=shared
    for connections in "${connection_counts[@]}"; do
        awk -v p="$prefix" -v c="$connections" -v s="${rps[$placement.$target.$connections]}" \
            -v d="${rps[$placement.directory.$connections]}" \
            -v n="${rps[$placement.nginx.$connections]}" 'BEGIN {
            format = "%sconnections %d: service %.0f/s directory %.0f/s nginx %.0f/s"
            format = format " service/directory %.2f service/nginx %.2f\n"
            printf format, p, c, s, d, n, (d > 0 ? s / d : 0), (n > 0 ? s / n : 0) }'
    done
done
if [ -n "$failed" ]; then
    echo "bench-lookupd.sh: some measured requests failed (see above)" >&2
    exit 1
fi
