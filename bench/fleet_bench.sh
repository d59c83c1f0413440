#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The sync agent beside the old shell recipe, in one run, on a one-member etcd
# on 127.0.0.1: the time from a put to the file replaced on every agent (p50
# and p99 over the changes, each put once the previous one reached every
# agent), with 20 and with 200 agents; then each agent's memory (RSS) and its
# CPU while nothing changes.
#
# The old recipe, per host: etcdctl watch KEY, and for each event etcdctl get
# KEY piped into dezov put FILE. It starts two programs per host and change,
# so it gets fewer changes with 200 hosts (OLD_CHANGES_200).
#
# Usage: bench/fleet_bench.sh [DEZOV]  (default: a Release build in build-bench-fleet)
# Environment: CHANGES (200), OLD_CHANGES_200 (20), AGENTS ("20 200"), IDLE_SECONDS (10),
# KINDS ("sync recipe").
set -euo pipefail
cd "$(dirname "$0")/.."
changes=${CHANGES:-200}
old_changes_200=${OLD_CHANGES_200:-20}
agent_counts=${AGENTS:-"20 200"}
idle_seconds=${IDLE_SECONDS:-10}
if [ $# -ge 1 ]; then
  dezov=$(realpath "$1")
else
  bash scripts/setup.sh python3
  cmake -S . -B build-bench-fleet -DCMAKE_BUILD_TYPE=Release -DDEZOV20_BUILD_TESTS=OFF >/dev/null
  cmake --build build-bench-fleet -j2 --target dezov
  dezov=$PWD/build-bench-fleet/tools/dezov
fi

work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
pids=()  # process groups started here
cleanup() {
  for pid in "${pids[@]}"; do kill -TERM -- "-$pid" 2>/dev/null || true; done
  sleep 0.5
  for pid in "${pids[@]}"; do kill -KILL -- "-$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
ulimit -n 65536 2>/dev/null || true

port=$((20000 + RANDOM % 30000))
setsid etcd --name bench --data-dir "$work/etcd" \
  --listen-client-urls "http://127.0.0.1:$port" --advertise-client-urls "http://127.0.0.1:$port" \
  --listen-peer-urls "http://127.0.0.1:$((port + 1))" \
  --initial-advertise-peer-urls "http://127.0.0.1:$((port + 1))" \
  --initial-cluster "bench=http://127.0.0.1:$((port + 1))" >"$work/etcd.log" 2>&1 &
pids+=("$!")
endpoint="http://127.0.0.1:$port"
export ETCDCTL_API=3
for _ in $(seq 100); do etcdctl --endpoints "$endpoint" endpoint health >/dev/null 2>&1 && break; sleep 0.1; done

# The measuring side: puts through the gateway and waits, with inotify, until
# every folder saw its file replaced.
cat >"$work/measure.py" <<'EOF'
import base64, ctypes, json, os, select, struct, sys, time, urllib.request

endpoint, key, name, changes, label = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
folders = sys.argv[6:]
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init1(os.O_NONBLOCK)
# A file appears by rename (IN_MOVED_TO) or, when new, by a link (IN_CREATE).
IN_CLOSE_WRITE, IN_MOVED_TO, IN_CREATE = 0x8, 0x80, 0x100
watches = {libc.inotify_add_watch(fd, f.encode(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE): f
           for f in folders}

def put(value):
    body = json.dumps({"key": base64.b64encode(key.encode()).decode(),
                       "value": base64.b64encode(value).decode()}).encode()
    urllib.request.urlopen(urllib.request.Request(endpoint + "/v3/kv/put", body), timeout=10).read()

def drain(deadline, pending, seen):
    while pending and time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            continue
        data = os.read(fd, 1 << 20)
        at = time.monotonic()
        offset = 0
        while offset < len(data):
            wd, mask, cookie, length = struct.unpack_from("iIII", data, offset)
            event_name = data[offset + 16:offset + 16 + length].rstrip(b"\0").decode()
            offset += 16 + length
            folder = watches.get(wd)
            if event_name == name and folder in pending:
                pending.discard(folder)
                seen.append(at)

# Warm-up: puts until every host has written the file once (a host that was
# not watching yet when a put came misses it, as it would in production).
waiting = set(folders)
for attempt in range(30):
    put(b"[bench]\nwarm-up=%d\n" % attempt)
    drain(time.monotonic() + 10, waiting, [])
    if not waiting:
        break
if waiting:
    sys.exit("%s: %d hosts never wrote the file" % (label, len(waiting)))
drain(time.monotonic() + 1, set(), [])  # late events of the warm-up

all_agents, each_agent, missed = [], [], 0
for i in range(changes):
    pending, seen = set(folders), []
    start = time.monotonic()
    put(b"[bench]\nchange=%d\n" % i)
    drain(start + 30, pending, seen)
    each_agent += [t - start for t in seen]
    if pending:  # some host lost this change (the next one may reach it)
        missed += 1
    else:
        all_agents.append(max(seen) - start)
    drain(time.monotonic() + 0.005, set(), [])  # late events of this change

def pct(values, p):
    if not values:
        return float("nan")
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100.0 * (len(values) - 1))))] * 1000
print("%-28s %4d agents %4d changes  every agent: p50 %7.1f ms  p99 %7.1f ms   one agent: p50 %7.1f ms  p99 %7.1f ms%s"
      % (label, len(folders), changes, pct(all_agents, 50), pct(all_agents, 99),
         pct(each_agent, 50), pct(each_agent, 99),
         "   %d changes missed by some host within 30 s" % missed if missed else ""))
EOF

# Memory (RSS, KiB) of the processes in the groups given, and their CPU time (ticks).
rss_kib() {
  local total=0 pid
  for pid in $(pgrep -g "$(echo "$@" | tr ' ' ,)"); do
    total=$((total + $(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)))
  done
  echo "$total"
}
cpu_ticks() {
  local total=0 pid
  for pid in $(pgrep -g "$(echo "$@" | tr ' ' ,)"); do
    total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat" 2>/dev/null || echo 0)))
  done
  echo "$total"
}
resources() {  # label count groups...
  local label=$1 count=$2
  shift 2
  local before after
  before=$(cpu_ticks "$@")
  sleep "$idle_seconds"
  after=$(cpu_ticks "$@")
  local hz
  hz=$(getconf CLK_TCK)
  awk -v l="$label" -v n="$count" -v rss="$(rss_kib "$@")" -v t=$((after - before)) -v hz="$hz" \
    -v s="$idle_seconds" 'BEGIN { printf "%-28s %4d agents  RSS per agent %6.1f MiB   idle CPU per agent %.3f%%\n",
                                  l, n, rss / n / 1024, 100 * t / hz / s / n }'
}

# Starts $1 hosts of a kind ("sync" or "recipe") for key $2; their groups in $hosts.
start_hosts() {
  local kind=$1 count=$2 key=$3 i
  hosts=()
  folders=()
  for i in $(seq "$count"); do
    local folder="$work/$kind-$count/$i"
    mkdir -p "$folder"
    folders+=("$folder")
    if [ "$kind" = sync ]; then
      setsid "$dezov" sync --endpoints "$endpoint" "$key" "$folder/app.ini" 2>>"$work/$kind-$count.log" &
    else
      # The old recipe, as a host ran it.
      DEZOV="$dezov" KEY="$key" FILE="$folder/app.ini" ENDPOINT="$endpoint" setsid bash -c '
        etcdctl --endpoints "$ENDPOINT" watch "$KEY" | while read -r line; do
          [ "$line" = PUT ] || continue
          etcdctl --endpoints "$ENDPOINT" get "$KEY" --print-value-only | "$DEZOV" put "$FILE"
        done' 2>>"$work/$kind-$count.log" &
    fi
    hosts+=("$!")
    pids+=("$!")
  done
}
stop_hosts() {
  for pid in "${hosts[@]}"; do kill -TERM -- "-$pid" 2>/dev/null || true; done
  sleep 1
  for pid in "${hosts[@]}"; do kill -KILL -- "-$pid" 2>/dev/null || true; done
}

echo "etcd $(etcd --version | sed -n 's/^etcd Version: //p') on 127.0.0.1, $(nproc) cores; files in $(df -P "$work" | awk 'NR == 2 { print $1 }')"
for count in $agent_counts; do
  for kind in ${KINDS:-sync recipe}; do
    n=$changes
    [ "$kind" = recipe ] && [ "$count" -ge 200 ] && n=$old_changes_200
    key="/bench/$kind-$count/app.ini"
    start_hosts "$kind" "$count" "$key"
    label=$([ "$kind" = sync ] && echo "dezov sync" || echo "etcdctl watch|get|dezov put")
    python3 "$work/measure.py" "$endpoint" "$key" app.ini "$n" "$label" "${folders[@]}" ||
      { tail -n 20 "$work/$kind-$count.log" >&2; exit 1; }
    if [ "$kind" = recipe ] && grep -q "standard input is empty" "$work/$kind-$count.log"; then
      echo "  (etcdctl get timed out on some hosts: dezov put refused the empty input, the change was lost there)"
    fi
    resources "$label" "$count" "${hosts[@]}"
    stop_hosts
  done
done
