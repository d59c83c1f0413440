#!/usr/bin/env bash
# A fleet host on this machine: a real etcd on 127.0.0.1, the sync step of
# scripts/etcd-sync.sh feeding a description file, and `dezov deploy FILE
# watch` answering from it. A new description put into etcd must change the
# answer within 2 s; a broken one must leave the file and the answer alone.
# Exit 77 (skipped) where etcd is not installed.
# Usage: etcd_fleet_test.sh DEZOV SOURCE_DIR
set -euo pipefail
dezov=$1
source_dir=$2
command -v etcd >/dev/null && command -v etcdctl >/dev/null || {
  echo "etcd or etcdctl not installed (Debian: etcd-server etcd-client): skipped"
  exit 77
}

work=$(mktemp -d)
groups=()  # process groups started here, each ended by its leader's pid
cleanup() {
  for pid in "${groups[@]}"; do kill -TERM -- "-$pid" 2>/dev/null || true; done
  for pid in "${groups[@]}"; do
    for _ in $(seq 50); do kill -0 -- "-$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL -- "-$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

# Starts a command as the leader of a new process group; its pid in $started.
start() {
  setsid "$@" &
  started=$!
  groups+=("$started")
}

# Waits up to $1 tenths of a second for the command in the other arguments.
await() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
  return 1
}

# etcd on two free ports (a port taken meanwhile makes etcd exit: next try).
export ETCDCTL_API=3 ETCDCTL_DIAL_TIMEOUT=1s ETCDCTL_COMMAND_TIMEOUT=2s
healthy() { kill -0 "$etcd_pid" 2>/dev/null && etcdctl endpoint health >/dev/null 2>&1; }
for attempt in 1 2 3 4 5; do
  client=$((20000 + RANDOM % 20000))
  peer=$((client + 1))
  start etcd --name fleet --data-dir "$work/etcd" \
    --listen-client-urls "http://127.0.0.1:$client" --advertise-client-urls "http://127.0.0.1:$client" \
    --listen-peer-urls "http://127.0.0.1:$peer" --initial-advertise-peer-urls "http://127.0.0.1:$peer" \
    --initial-cluster "fleet=http://127.0.0.1:$peer" >"$work/etcd.log" 2>&1
  etcd_pid=$started
  export ETCDCTL_ENDPOINTS="127.0.0.1:$client"
  await 50 healthy && break
  kill -TERM -- "-$etcd_pid" 2>/dev/null || true
  wait "$etcd_pid" 2>/dev/null || true
  rm -rf "$work/etcd"
  [ "$attempt" -lt 5 ] || { cat "$work/etcd.log" >&2; fail "etcd did not start"; }
done

key=/fleet/deploy.xml
file="$work/host/deploy.xml"
mkdir -p "$work/host"
description() {  # the shipped example, with an RQ range and a history domain for 2008 if $1
  if [ "$1" = 2008 ]; then
    sed -e 's/HA_2005:HA_2006,0101;0102/HA_2005:HA_2006:HA_2008,0101;0102/' \
        -e 's#</RQ>#  <DOMAIN4 Value="2008,20080101:20081231"/>\n  </RQ>#' \
        "$source_dir/examples/deploy.xml"
  else
    cat "$source_dir/examples/deploy.xml"
  fi
}

description 2007 | etcdctl put "$key" >/dev/null
DEZOV="$dezov" start sh "$source_dir/scripts/etcd-sync.sh" "$key" "$file"
await 50 test -s "$file" || fail "the sync step did not write the file"
cmp -s "$file" <(description 2007; echo) || fail "the file is not the value in etcd"

start "$dezov" deploy "$file" watch history 0101 20080315 20080315 \
  >"$work/answers" 2>"$work/errors"
watch_pid=$started
# No 2008 range yet: the first answer is the empty line.
await 50 test -s "$work/answers" || fail "no first answer"
[ "$(cat "$work/answers")" = "" ] || fail "first answer: $(cat "$work/answers")"

description 2008 | etcdctl put "$key" >/dev/null
put_at=$(date +%s%N)
await 20 grep -qx HA_2008 "$work/answers" || fail "new answer not seen within 2 s"
echo "reload seen after $((($(date +%s%N) - put_at) / 1000000)) ms"

cp "$file" "$work/good.xml"
echo '<vornini><DEPLOY><DEPLOY1 Value="YYB,0"/>' | etcdctl put "$key" >/dev/null
echo "no deployment here" | etcdctl put "$key" >/dev/null
sleep 1
cmp -s "$file" "$work/good.xml" || fail "a broken description replaced the file"
kill -0 "$watch_pid" || fail "the watch ended"
[ "$(tail -n 1 "$work/answers")" = HA_2008 ] || fail "the answer changed: $(cat "$work/answers")"

# The watch still follows the next good description.
description 2007 | etcdctl put "$key" >/dev/null
last_answer_is() { [ "$(tail -n 1 "$work/answers")" = "$1" ]; }
await 20 last_answer_is "" || fail "answer after a broken one not seen"
kill -TERM "$watch_pid"
(sleep 3; kill -KILL "$watch_pid" 2>/dev/null) &  # bounds the wait below
killer=$!
status=0
wait "$watch_pid" || status=$?
kill "$killer" 2>/dev/null || true
[ "$status" = 0 ] || fail "the watch ended with status $status on SIGTERM"
echo "answers:"; cat "$work/answers"
