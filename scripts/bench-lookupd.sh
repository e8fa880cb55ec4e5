#!/usr/bin/env bash
# Measures brisvane-lookupd next to what limits it, on this machine, with wrk sending the
# client's own request (POST, form content type, user=<name>) for members drawn at random from
# a directory of 10,000:
#   service          brisvane-lookupd over HTTP on slapd
#   directory        the same searches straight to slapd (bench/lookupd/ldap_search_bench.cpp),
#                    the ceiling of a service that sends one search per lookup
#   nginx            nginx serving a static page of the same size as the service's answer
#   service (https)  brisvane-lookupd over TLS, keep-alive
#   service (cache)  brisvane-lookupd over HTTP with [cache] ttl = "3600s" (longer than the
#                    run), warmed before the rounds; the share of lookups it answered from the
#                    cache during the rounds is printed
# at 1, 16 and 64 connections, each figure the median of ROUNDS interleaved rounds of SECONDS
# each. Then the resident memory of a fresh service (16 connections) after 100,000 and
# 1,000,000 requests, and that of a fresh cached one after 500,000 and 1,000,000 requests for
# 200,000 different names (10,000 members, the others unknown), more than its max_entries
# (the default, 100,000) holds. slapd and nginx run from private configurations in a temporary
# folder on 127.0.0.1, never the system's instances.
#
#   scripts/bench-lookupd.sh [--rounds N] [--seconds S] [--no-memory]
#
# The output ends with one line per connection count for the service with the cache, then one
# per connection count for the default service (no cache), for other tools to read:
#   cache connections 16: service 20000/s directory 1500/s nginx 9000/s service/directory ...
#   connections 16: service 1234/s directory 1500/s nginx 9000/s service/directory 0.82 ...
# Exits non-zero when a measured request failed (a benchmark of errors measures nothing).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/packages.sh

rounds=5
seconds=3
memory=yes
while [ $# -gt 0 ]; do
    case "$1" in
        --rounds) rounds="$2"; shift 2 ;;
        --seconds) seconds="$2"; shift 2 ;;
        --no-memory) memory=""; shift ;;
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
https_port="$(free_port)"
service_config "$work/https.toml" "127.0.0.1:$https_port" "$ldap_port" "$work/bind-password" \
    "$work/pki/localhost.pem" "$work/pki/localhost.key"
start_service "$binary" "$work/https.toml" "$work/https.log" "$https_port"
pids+=("$service_pid")
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

# One measurement: measure TARGET CONNECTIONS SECONDS; prints the "result ..." line.
measure() {
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
        directory) "$ldap_client" "ldap://127.0.0.1:$ldap_port" "$LOOKUP_BIND_DN" \
            "$work/bind-password" "ou=people,dc=campus,dc=example" "(uid=%s)" homeDirectory \
            "$members" "$connections" "$duration" ;;
    esac
}

targets=(service directory nginx https cache)
connection_counts=(1 16 64)
echo "=== Machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)," \
    "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), $(uname -sr)"
echo "    load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "    slapd $(dpkg-query -W -f='${Version}' slapd), nginx $(dpkg-query -W -f='${Version}' nginx)," \
    "wrk $(dpkg-query -W -f='${Version}' wrk); service: $(grep -c . "$work/http.toml") lines of" \
    "settings, default workers"
echo "=== Warming up"
for target in "${targets[@]}"; do
    measure "$target" 16 1 >/dev/null
done
# The cache's warm-up: 5 s of random members at 16 connections asks nearly every one of them.
measure cache 16 5 >/dev/null
hits_before="$(cache_counter "$cache_observe" brisvane_cache_hits_total)"
misses_before="$(cache_counter "$cache_observe" brisvane_cache_misses_total)"

# Rounds: every target and connection count once per round, the targets in a different order
# each round, so that a busy machine hurts all of them alike.
results="$work/results"
failed=""
for round in $(seq "$rounds"); do
    echo "=== Round $round of $rounds"
    for connections in "${connection_counts[@]}"; do
        for i in "${!targets[@]}"; do
            target="${targets[$(((i + round) % ${#targets[@]}))]}"
            line="$(measure "$target" "$connections" "$seconds")" || line="result rps=0"
            errors="$(field "$line" errors)"
            non200="$(field "$line" non200)"
            if [ "${errors:-1}" != 0 ] || [ "${non200:-1}" != 0 ]; then
                echo "    $target at $connections connections: FAILED REQUESTS: $line" >&2
                failed=yes
            fi
            echo "$target $connections $(field "$line" rps) $(field "$line" p50_ms)" \
                "$(field "$line" p99_ms)" >>"$results"
        done
    done
done

hits=$(($(cache_counter "$cache_observe" brisvane_cache_hits_total) - hits_before))
misses=$(($(cache_counter "$cache_observe" brisvane_cache_misses_total) - misses_before))

# The median of the values in column COLUMN of the results of TARGET at CONNECTIONS.
median() {
    awk -v t="$1" -v c="$2" -v k="$3" '$1 == t && $2 == c { print $k }' "$results" | sort -g |
        awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo
echo "Medians of $rounds rounds of ${seconds} s; latency in ms; requests/s of the service over" \
    "the directory's and nginx's"
printf '%-12s %-16s %12s %9s %9s %10s %10s\n' connections target requests/s p50 p99 \
    /directory /nginx
declare -A rps
for connections in "${connection_counts[@]}"; do
    for target in "${targets[@]}"; do
        rps[$target.$connections]="$(median "$target" "$connections" 3)"
    done
    for target in "${targets[@]}"; do
        label="$target"
        ratios=("" "")
        case "$target" in
            service | https | cache)
                label="service (http)"
                [ "$target" = https ] && label="service (https)"
                [ "$target" = cache ] && label="service (cache)"
                read -ra ratios <<<"$(awk -v s="${rps[$target.$connections]}" \
                    -v d="${rps[directory.$connections]}" -v n="${rps[nginx.$connections]}" \
                    'BEGIN { printf "%.2f %.2f", (d > 0 ? s / d : 0), (n > 0 ? s / n : 0) }')"
                ;;
        esac
        printf '%-12s %-16s %12.0f %9.3f %9.3f %10s %10s\n' "$connections" "$label" \
            "${rps[$target.$connections]}" "$(median "$target" "$connections" 4)" \
            "$(median "$target" "$connections" 5)" "${ratios[0]}" "${ratios[1]}"
    done
done
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
# The lines for other tools: the cached service's ("cache connections ..."), then the default's.
for prefix in "cache " ""; do
    target=service
    [ -n "$prefix" ] && target=cache
    for connections in "${connection_counts[@]}"; do
        awk -v p="$prefix" -v c="$connections" -v s="${rps[$target.$connections]}" \
            -v d="${rps[directory.$connections]}" -v n="${rps[nginx.$connections]}" 'BEGIN {
            format = "%sconnections %d: service %.0f/s directory %.0f/s nginx %.0f/s"
            format = format " service/directory %.2f service/nginx %.2f\n"
            printf format, p, c, s, d, n, (d > 0 ? s / d : 0), (n > 0 ? s / n : 0) }'
    done
done
if [ -n "$failed" ]; then
    echo "bench-lookupd.sh: some measured requests failed (see above)" >&2
    exit 1
fi
