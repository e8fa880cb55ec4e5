-- wrk script: the request Brisvane sends (POST, form content type, body user=<name>), for a
-- member drawn at random from m00001..mNNNNN on every request. Settings from the environment:
--   LOOKUP_PATH      the page's path (the service's, which bench/lookupd/lib.sh reads from it)
--   LOOKUP_MEMBERS   how many members the directory holds (default 10000)
--   LOOKUP_RATE      requests per second over all threads; unset: as fast as answers come
--   LOOKUP_LOG_DIR   every answer that is not 200 is written to LOG_DIR/<thread>.log as
--                    "<unix time in ms> <status>"; unset: not written
-- At the end it prints one line for the scripts that run it:
--   result requests=N seconds=S rps=R p50_ms=A p99_ms=B errors=E non200=M
local ffi = require("ffi")
ffi.cdef [[
  typedef struct { long tv_sec; long tv_nsec; } lookup_timespec;
  int clock_gettime(int clock, lookup_timespec *ts);
]]
local CLOCK_REALTIME, CLOCK_MONOTONIC = 0, 1
local now_ts = ffi.new("lookup_timespec")
local function now_ms(clock)
  ffi.C.clock_gettime(clock, now_ts)
  return tonumber(now_ts.tv_sec) * 1000 + tonumber(now_ts.tv_nsec) / 1e6
end

local path = os.getenv("LOOKUP_PATH") or error("LOOKUP_PATH is not set")
local members = tonumber(os.getenv("LOOKUP_MEMBERS") or "10000")
local rate = tonumber(os.getenv("LOOKUP_RATE") or "")
local log_dir = os.getenv("LOOKUP_LOG_DIR")

-- The main state gives every thread its number (the global `id` in the thread's state).
local thread_count = 0
function setup(thread)
  thread_count = thread_count + 1
  thread:set("id", thread_count)
end

local headers = { ["Content-Type"] = "application/x-www-form-urlencoded" }
local interval_ms, next_due, log_file
function init(args)
  math.randomseed(os.time() * 1000 + (id or 0))
  if rate and rate > 0 then
    -- wrk's thread count is not known here; the scripts pass it, as wrk's -t, in LOOKUP_THREADS.
    local per_thread = rate / tonumber(os.getenv("LOOKUP_THREADS") or "1")
    interval_ms = 1000 / per_thread
    next_due = now_ms(CLOCK_MONOTONIC)
  end
  if log_dir then
    log_file = io.open(log_dir .. "/" .. tostring(id) .. ".log", "w")
  end
end

function request()
  local body = string.format("user=m%05d", math.random(members))
  return wrk.format("POST", path, headers, body)
end

-- Pacing: every request takes the next slot of this thread's schedule, so the thread holds its
-- share of the rate as long as it has a connection free; a late slot is sent at once.
if rate and rate > 0 then
  function delay()
    local now = now_ms(CLOCK_MONOTONIC)
    local slot = math.max(next_due, now)
    next_due = slot + interval_ms
    return slot - now
  end
end

-- Answers are looked at only when they are logged: wrk is faster without a response().
if log_dir then
  function response(status, headers, body)
    if status ~= 200 then
      log_file:write(string.format("%d %d\n", now_ms(CLOCK_REALTIME), status))
      log_file:flush()
    end
  end
end

function done(summary, latency, requests)
  local e = summary.errors
  local seconds = summary.duration / 1e6
  io.write(string.format(
    "result requests=%d seconds=%.3f rps=%.1f p50_ms=%.3f p99_ms=%.3f errors=%d non200=%d " ..
    "connect=%d read=%d write=%d timeout=%d\n",
    summary.requests, seconds, summary.requests / seconds,
    latency:percentile(50) / 1000, latency:percentile(99) / 1000,
    e.connect + e.read + e.write + e.timeout, e.status,
    e.connect, e.read, e.write, e.timeout))
end
