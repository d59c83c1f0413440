#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sync agents (`dezov sync`) following a real etcd on 127.0.0.1.
#
# Small run (default, well under a minute): one member, three agents and about
# 30 changes: an agent started while etcd is down, etcd killed and restarted,
# refused values and key names, a deleted key, a compaction while one agent is
# stopped (SIGSTOP), --exec with a file name a shell would run, --once, and
# authentication.
# Full run (--full, about two minutes): three members, 20 agents each with a
# folder of its own, 300 changes over 5 keys while the leader and then another
# member are killed and restarted, one agent (following that member alone)
# stopped across its restart and a compaction, refused values in between.
# Both end with every file equal to its key's last value byte for byte, every
# agent's status and log showing revisions only rising, and no temporary file.
# Exit 77 (skipped) where etcd is not installed.
# Usage: etcd_fleet_test.sh DEZOV SOURCE_DIR [--full]
set -euo pipefail
dezov=$(realpath "$1")
source_dir=$2
full=${3:-}
command -v etcd >/dev/null && command -v etcdctl >/dev/null && command -v curl >/dev/null || {
  echo "etcd, etcdctl or curl not installed (Debian: etcd-server etcd-client curl): skipped"
  exit 77
}
"$dezov" sync --help >/dev/null 2>&1 || { echo "dezov was built without sync: skipped"; exit 77; }

# In memory where there is room: etcd and the agents flush every change.
work=""
if [ "$(df -Pk /dev/shm 2>/dev/null | awk 'NR == 2 { print $4 }')" -gt 1048576 ] 2>/dev/null; then
  work=$(mktemp -d -p /dev/shm)
fi
[ -n "$work" ] || work=$(mktemp -d)
chmod 755 "$work"
groups=()  # process groups started here, each ended by its leader's pid
sampler_pid=""
cleanup() {
  [ -z "$sampler_pid" ] || kill "$sampler_pid" 2>/dev/null || true
  for pid in "${groups[@]}"; do kill -CONT -- "-$pid" 2>/dev/null || true; done
  for pid in "${groups[@]}"; do kill -TERM -- "-$pid" 2>/dev/null || true; done
  for pid in "${groups[@]}"; do
    for _ in $(seq 50); do kill -0 -- "-$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL -- "-$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
note() { echo "[${SECONDS}s] $*"; }
fail() {
  echo "FAILED: $*" >&2
  for log in "$work"/logs/*; do [ -f "$log" ] && { echo "== $log"; tail -n 15 "$log"; } >&2; done
  exit 1
}

# Starts a command as the leader of a new process group; its pid in $started.
start() {
  setsid "$@" &
  started=$!
  groups+=("$started")
}
# Ends the process group led by $1 (SIGTERM, then SIGKILL after 5 s).
stop() {
  kill -CONT -- "-$1" 2>/dev/null || true
  kill -TERM -- "-$1" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 -- "-$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL -- "-$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
# Waits up to $1 tenths of a second for the command in the other arguments.
await() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
  return 1
}
port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# --- etcd ----------------------------------------------------------------------
# Members m1..mN on free ports; member i's pid in member_pid[i].
members=$([ "$full" = --full ] && echo 3 || echo 1)
declare -a member_pid client_port peer_port
export ETCDCTL_API=3 ETCDCTL_DIAL_TIMEOUT=1s ETCDCTL_COMMAND_TIMEOUT=3s
mkdir -p "$work/logs"
pick_ports() {
  local base
  for _ in $(seq 20); do
    base=$((20000 + RANDOM % 30000))
    local ok=1
    for i in $(seq "$members"); do
      port_free $((base + 2 * i)) && port_free $((base + 2 * i + 1)) || ok=0
    done
    if [ $ok = 1 ]; then
      for i in $(seq "$members"); do
        client_port[i]=$((base + 2 * i))
        peer_port[i]=$((base + 2 * i + 1))
      done
      return 0
    fi
  done
  fail "no free ports"
}
start_member() {
  local i=$1 cluster=""
  for j in $(seq "$members"); do cluster+="${cluster:+,}m$j=http://127.0.0.1:${peer_port[j]}"; done
  start etcd --name "m$i" --data-dir "$work/etcd/m$i" \
    --listen-client-urls "http://127.0.0.1:${client_port[i]}" \
    --advertise-client-urls "http://127.0.0.1:${client_port[i]}" \
    --listen-peer-urls "http://127.0.0.1:${peer_port[i]}" \
    --initial-advertise-peer-urls "http://127.0.0.1:${peer_port[i]}" \
    --initial-cluster "$cluster" --initial-cluster-state new \
    --heartbeat-interval 50 --election-timeout 500 >>"$work/logs/etcd-m$i" 2>&1
  member_pid[i]=$started
}
member_url() { echo "http://127.0.0.1:${client_port[$1]}"; }
all_urls() { local u=""; for i in $(seq "$members"); do u+="${u:+,}$(member_url "$i")"; done; echo "$u"; }
# etcdctl on every member (etcdctl refuses ETCDCTL_ENDPOINTS beside --endpoints).
ctl() { etcdctl --endpoints "$(all_urls)" "$@"; }
healthy() { ctl endpoint health >/dev/null 2>&1; }
kill_member() {
  kill -KILL -- "-${member_pid[$1]}" 2>/dev/null || true
  wait "${member_pid[$1]}" 2>/dev/null || true
}
leader() {
  local i
  for i in $(seq "$members"); do
    local fields
    fields=$(etcdctl --endpoints "$(member_url "$i")" endpoint status -w fields 2>/dev/null) || continue
    [ "$(sed -n 's/^"MemberID" : //p' <<<"$fields")" = "$(sed -n 's/^"Leader" : //p' <<<"$fields")" ] &&
      { echo "$i"; return 0; }
  done
  return 1
}
start_cluster() {
  for attempt in 1 2 3; do
    pick_ports
    for i in $(seq "$members"); do start_member "$i"; done
    await 100 healthy && return 0
    for i in $(seq "$members"); do kill_member "$i"; done
    rm -rf "$work/etcd"
  done
  cat "$work"/logs/etcd-* >&2
  fail "etcd did not start"
}

# Puts the bytes of file $2 under key $1 through the gateway, on the first
# member that takes it (retried while the cluster elects a leader); the
# revision it made in $put_revision.
put() {
  local body answer i
  body="{\"key\":\"$(printf %s "$1" | base64 -w0)\",\"value\":\"$(base64 -w0 <"$2")\"}"
  for _ in $(seq 30); do
    for i in $(seq "$members"); do
      answer=$(curl -s --max-time 3 -d "$body" "$(member_url "$i")/v3/kv/put") || continue
      put_revision=$(sed -n 's/.*"revision":"\([0-9]*\)".*/\1/p' <<<"$answer")
      [ -n "$put_revision" ] && return 0
    done
    sleep 0.1
  done
  fail "cannot put $1"
}
remove_key() {
  for _ in $(seq 50); do ctl del "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done
  fail "cannot delete $1"
}
current_revision() { ctl get / -w fields --limit 1 | sed -n 's/^"Revision" : //p'; }

# --- agents --------------------------------------------------------------------
# Agent $1 runs `dezov sync` with the other arguments, from its own folder,
# with a status file and a log.
declare -A agent_pid
start_agent() {
  local name=$1
  shift
  mkdir -p "$work/run/$name"
  mkdir -p "$work/status"
  ( cd "$work/run/$name" && exec setsid "$dezov" sync --status "$work/status/$name" "$@" \
      2>>"$work/logs/$name" ) &
  agent_pid[$name]=$!
  groups+=("$!")
}
status_revision() { sed -n 's/^revision //p' "$work/status/$1" 2>/dev/null; }

# Samples every agent's status revision, one "agent revision" line each, until stopped.
sampler() {
  while :; do
    for status in "$work"/status/agent-*; do
      [ -f "$status" ] || continue
      local line=""
      read -r line <"$status" 2>/dev/null || true
      [ -n "$line" ] && echo "${status##*/} ${line#revision }"
    done
    sleep 0.1
  done
}

# Each agent's status revisions and logged revisions per file only rise.
check_histories() {
  awk '{ if ($1 in last && $2 < last[$1]) { print "status of " $1 " went from " last[$1] " to " $2; bad = 1 }
         last[$1] = $2 } END { exit bad }' "$work/samples" || fail "a status revision went back"
  for log in "$work"/logs/agent-*; do
    awk '/: .* (replaced|already holds it|removed)$/ {
           rev = $0; sub(/.* revision /, "", rev); sub(/:.*/, "", rev); file = $0
           sub(/.* revision [0-9]+: /, "", file); sub(/ (replaced|already holds it)$/, "", file)
           sub(/^key deleted, /, "", file); sub(/ removed$/, "", file)
           if (file in last && rev + 0 < last[file]) { print FILENAME ": " file " went from " last[file] " to " rev; bad = 1 }
           last[file] = rev + 0 }
         END { exit bad }' "$log" || fail "a file went back to an older revision"
  done
}

# Folder $1 holds exactly the files named in the other arguments, each equal to
# $work/expect/<name>: no temporary file and no save lock is left.
check_folder() {
  local folder=$1
  shift
  local name
  for name in "$@"; do
    cmp -s "$work/expect/$name" "$folder/$name" || fail "$folder/$name is not the last value of its key"
  done
  for path in "$folder"/* "$folder"/.[!.]*; do
    [ -e "$path" ] || continue
    name=${path##*/}
    case " $* " in *" $name "*) continue ;; esac
    fail "$folder holds $name"
  done
}
all_hold() {  # every folder listed before -- holds the expected files named after it
  local folders=() expected=() actual=() name
  while [ "$1" != -- ]; do folders+=("$1"); shift; done
  shift
  for folder in "${folders[@]}"; do
    for name in "$@"; do
      expected+=("$work/expect/$name")
      actual+=("$folder/$name")
    done
  done
  # One comparison of everything at once: this runs ten times a second.
  cmp -s <(cat "${expected[@]}") <(cat "${actual[@]}" 2>/dev/null)
}

mkdir -p "$work/expect" "$work/values"
# Writes value $2 (printf format and arguments after it) as the expected bytes of $1.
expect() {
  local name=$1
  shift
  printf "$@" >"$work/expect/$name"
}
value() {  # a one-off value file: value NAME FORMAT ARGS...
  local name=$1
  shift
  printf "$@" >"$work/values/$name"
  echo "$work/values/$name"
}

# --- the small run -------------------------------------------------------------
small_run() {
  start_cluster
  local url
  url=$(member_url 1)
  # The shipped description, and one with a broken deployment.
  cp "$source_dir/examples/deploy.xml" "$work/expect/deploy.xml"
  put /fleet/deploy.xml "$work/expect/deploy.xml"
  expect app.ini '[server]\r\nname=\xd6\xd0\xce\xc4\r\nport=%s' 1
  put /fleet/conf/app.ini "$work/expect/app.ini"
  expect old.ini '[old]\n'
  put /fleet/conf/old.ini "$work/expect/old.ini"
  local pwned='x$(touch pwned)`touch pwned`;touch pwned.ini'
  expect "$pwned" '[odd name]\n'
  put "/fleet/conf/$pwned" "$work/expect/$pwned"

  # a1: one key, mode 0640, a command after each change; a2: a folder, with --delete.
  start_agent agent-a1 --endpoints "$url" --mode 0640 --exec \
    'printf "%s %s %s\n" "$DEZOV_SYNC_FILE" "$DEZOV_SYNC_REVISION" "$DEZOV_SYNC_KEY" >>../exec.log' \
    /fleet/deploy.xml "$work/run/agent-a1/deploy.xml"
  start_agent agent-a2 --endpoints "$url" --delete --exec 'printf "%s\n" "$DEZOV_SYNC_FILE" >>../exec.log' \
    --prefix /fleet/conf/ "$work/run/agent-a2"
  sampler >"$work/samples" 2>/dev/null &
  sampler_pid=$!
  await 100 all_hold "$work/run/agent-a1" -- deploy.xml || fail "a1 did not write deploy.xml"
  await 100 all_hold "$work/run/agent-a2" -- app.ini old.ini "$pwned" || fail "a2 did not write its files"
  [ "$(stat -c %a "$work/run/agent-a1/deploy.xml")" = 640 ] || fail "--mode 0640 not applied"
  [ ! -e "$work/run/agent-a2/pwned" ] || fail "a file name reached a shell"
  grep -qxF "$work/run/agent-a2/$pwned" "$work/run/exec.log" || fail "--exec did not see the odd name"
  grep -qx "$work/run/agent-a1/deploy.xml [0-9]* /fleet/deploy.xml" "$work/run/exec.log" ||
    fail "--exec lacks file, revision or key: $(cat "$work/run/exec.log")"

  # Refused: a deployment with an error, an INI value with a NUL byte, an empty
  # value, names that are no plain file name. The files stay; later values apply.
  put /fleet/deploy.xml "$(value broken.xml '<vornini><DEPLOY><DEPLOY1 Value="YYB,0"/></DEPLOY></vornini>')"
  local broken=$put_revision
  put /fleet/conf/app.ini "$(value nul.ini '[a]\nk=\0\n')"
  put /fleet/conf/app.ini "$(value empty.ini '')"
  put /fleet/conf/.hidden.ini "$(value hidden '[h]\n')"
  put /fleet/conf/sub/x.ini "$(value sub '[s]\n')"
  await 50 grep -q "/fleet/deploy.xml revision $broken refused: .*deploy.xml unchanged" \
    "$work/logs/agent-a1" || fail "the broken description was not reported"
  await 50 grep -q "/fleet/conf/sub/x.ini revision .* refused" "$work/logs/agent-a2" ||
    fail "a key with a '/' after the prefix was not refused"
  check_folder "$work/run/agent-a1" deploy.xml
  check_folder "$work/run/agent-a2" app.ini old.ini "$pwned"

  # etcd goes down; an agent started meanwhile follows once it is back.
  kill_member 1
  start_agent agent-a3 --endpoints "$url" --prefix /fleet/conf/ "$work/run/agent-a3"
  sleep 1
  start_member 1
  await 100 healthy || fail "etcd did not come back"
  for i in $(seq 2 12); do
    expect app.ini '[server]\nport=%s\n' "$i"
    put /fleet/conf/app.ini "$work/expect/app.ini"
  done
  sed 's/HA_2005:HA_2006,0101;0102/HA_2005:HA_2006:HA_2008,0101;0102/' \
    "$source_dir/examples/deploy.xml" >"$work/expect/deploy.xml"
  put /fleet/deploy.xml "$work/expect/deploy.xml"
  await 150 all_hold "$work/run/agent-a1" -- deploy.xml || fail "a1 did not follow after the restart"
  await 150 all_hold "$work/run/agent-a2" "$work/run/agent-a3" -- app.ini old.ini ||
    fail "a2 or a3 did not follow after the restart"

  # a3 stops, and etcd restarts under it (its watch is broken); keys change,
  # one is deleted, and the history is compacted. a3 must read everything
  # afresh (a3 keeps deleted keys' files).
  kill -STOP "${agent_pid[agent-a3]}"
  kill_member 1
  start_member 1
  await 100 healthy || fail "etcd did not come back"
  for i in $(seq 13 20); do
    expect app.ini '[server]\nport=%s\n' "$i"
    put /fleet/conf/app.ini "$work/expect/app.ini"
  done
  remove_key /fleet/conf/old.ini
  expect new.ini '[new]\n'
  put /fleet/conf/new.ini "$work/expect/new.ini"
  ctl compact "$(current_revision)" >/dev/null
  kill -CONT "${agent_pid[agent-a3]}"
  await 150 all_hold "$work/run/agent-a3" -- app.ini new.ini old.ini || fail "a3 did not catch up"
  await 50 grep -q "was compacted away" "$work/logs/agent-a3" || fail "a3 did not meet the compaction"
  await 100 all_hold "$work/run/agent-a2" -- app.ini new.ini || fail "a2 did not follow"
  await 50 test ! -e "$work/run/agent-a2/old.ini" || fail "a2 kept a deleted key's file"

  # --once: 0 when applied, 1 for a refused value or a missing key, 2 without etcd.
  local once=0
  "$dezov" sync --once --endpoints "$url" /fleet/conf/app.ini "$work/once.ini" 2>"$work/logs/once" ||
    once=$?
  [ $once = 0 ] && cmp -s "$work/expect/app.ini" "$work/once.ini" || fail "--once: status $once"
  put /fleet/conf/bad.ini "$(value nul2.ini 'x\0y')"
  once=0
  "$dezov" sync --once --endpoints "$url" /fleet/conf/bad.ini "$work/bad.ini" 2>>"$work/logs/once" ||
    once=$?
  [ $once = 1 ] && [ ! -e "$work/bad.ini" ] || fail "--once with a refused value: status $once"
  once=0
  "$dezov" sync --once --endpoints "$url" /fleet/missing "$work/missing.ini" 2>>"$work/logs/once" ||
    once=$?
  [ $once = 1 ] || fail "--once with a missing key: status $once"
  once=0
  "$dezov" sync --once --endpoints "http://127.0.0.1:1" /fleet/conf/app.ini "$work/x.ini" \
    2>>"$work/logs/once" || once=$?
  [ $once = 2 ] || fail "--once without etcd: status $once"

  # The agents still run and end cleanly on SIGTERM; the files are the last values.
  for name in agent-a1 agent-a2 agent-a3; do
    kill -0 "${agent_pid[$name]}" || fail "$name ended"
  done
  expect app.ini '[server]\nport=last\n'
  put /fleet/conf/app.ini "$work/expect/app.ini"
  await 100 all_hold "$work/run/agent-a2" "$work/run/agent-a3" -- app.ini || fail "the last value"
  for name in agent-a1 agent-a2 agent-a3; do
    kill -TERM "${agent_pid[$name]}"
    local status=0
    wait "${agent_pid[$name]}" || status=$?
    [ $status = 0 ] || fail "$name ended with status $status on SIGTERM"
  done
  check_folder "$work/run/agent-a1" deploy.xml
  check_folder "$work/run/agent-a2" app.ini new.ini "$pwned"
  check_folder "$work/run/agent-a3" app.ini new.ini old.ini "$pwned"
  check_histories
  [ "$(status_revision agent-a2)" -ge "$put_revision" ] || fail "a2's status is behind"

  # Authentication: credentials work before it is turned on, and then a good
  # password reads while a wrong one is refused for good.
  ctl user add root:secret >/dev/null
  once=0
  "$dezov" sync --once --endpoints "$url" --user root:secret /fleet/conf/app.ini "$work/auth0.ini" \
    2>>"$work/logs/once" || once=$?
  [ $once = 0 ] || fail "--user before authentication is on: status $once"
  ctl user grant-role root root >/dev/null && ctl auth enable >/dev/null
  once=0
  "$dezov" sync --once --endpoints "$url" --user root:secret /fleet/conf/app.ini "$work/auth.ini" \
    2>>"$work/logs/once" || once=$?
  [ $once = 0 ] && cmp -s "$work/expect/app.ini" "$work/auth.ini" || fail "--user: status $once"
  once=0
  ETCDCTL_PASSWORD=wrong "$dezov" sync --once --endpoints "$url" --user root \
    /fleet/conf/app.ini "$work/auth2.ini" 2>>"$work/logs/once" || once=$?
  [ $once = 2 ] && [ ! -e "$work/auth2.ini" ] || fail "a wrong password: status $once"
  note "small run passed"
}

# --- the full run --------------------------------------------------------------
full_run() {
  start_cluster
  local keys=(k1.ini k2.ini k3.ini k4.ini deploy.xml) agents=20 changes=300
  local i k
  for k in "${keys[@]}"; do
    case $k in
      *.xml) cp "$source_dir/examples/deploy.xml" "$work/expect/$k" ;;
      *) expect "$k" '[%s]\nvalue=0\n' "$k" ;;
    esac
    put "/fleet/$k" "$work/expect/$k"
  done
  # Agent 1 follows member 3 alone: stopped across a compaction and a restart
  # of that member, it has to read everything afresh.
  for i in $(seq "$agents"); do
    local endpoints
    endpoints=$([ "$i" = 1 ] && member_url 3 || all_urls)
    start_agent "agent-$i" --endpoints "$endpoints" --delete --prefix /fleet/ "$work/run/agent-$i"
  done
  sampler >"$work/samples" 2>/dev/null &
  sampler_pid=$!
  local folders=()
  for i in $(seq "$agents"); do folders+=("$work/run/agent-$i"); done
  await 300 all_hold "${folders[@]}" -- "${keys[@]}" || fail "the agents did not start"
  note "$agents agents hold the first values"

  local refused=0
  for n in $(seq "$changes"); do
    k=${keys[RANDOM % ${#keys[@]}]}
    if [ $((n % 17)) = 0 ]; then  # a refused value between good ones
      case $k in
        *.xml) put "/fleet/$k" "$(value "bad$n" '<vornini><DEPLOY><DEPLOY1 Value="YYB,0"/></DEPLOY></vornini>')" ;;
        *) put "/fleet/$k" "$(value "bad$n" '[x]\n\0\n')" ;;
      esac
      refused=$((refused + 1))
    else
      case $k in
        *.xml) sed "s/HA_2005:HA_2006/HA_2005:HA_200$((n % 10))/" "$source_dir/examples/deploy.xml" \
                 >"$work/expect/$k" ;;
        *) expect "$k" '[%s]\nvalue=%s\n\xb0\xa1%s\n' "$k" "$n" "$RANDOM" ;;
      esac
      put "/fleet/$k" "$work/expect/$k"
    fi
    case $n in
      80)  # the leader dies and comes back
        local l
        l=$(leader) || fail "no leader"
        note "killing the leader m$l at change $n"
        kill_member "$l"
        sleep 1
        start_member "$l" ;;
      140)  # agent 1 stops; another member, the one it follows, dies and comes back
        kill -STOP "${agent_pid[agent-1]}"
        note "killing m3 at change $n"
        kill_member 3
        sleep 1
        start_member 3 ;;
      220)  # compaction past what agent 1 applied; it goes on
        await 100 healthy || fail "m3 did not come back"
        ctl compact "$(current_revision)" >/dev/null
        note "compacted at change $n"
        kill -CONT "${agent_pid[agent-1]}" ;;
    esac
  done
  # The last value of each key is a good one.
  for k in "${keys[@]}"; do
    case $k in
      *.xml) cp "$source_dir/examples/deploy.xml" "$work/expect/$k" ;;
      *) expect "$k" '[%s]\nvalue=last\n' "$k" ;;
    esac
    put "/fleet/$k" "$work/expect/$k"
  done
  note "$changes changes put"
  await 600 all_hold "${folders[@]}" -- "${keys[@]}" || fail "not every agent holds the last values"
  note "every agent holds the last values"
  grep -q "was compacted away" "$work/logs/agent-1" || fail "agent 1 did not meet the compaction"
  for i in $(seq "$agents"); do
    kill -0 "${agent_pid[agent-$i]}" || fail "agent $i ended"
    check_folder "$work/run/agent-$i" "${keys[@]}"
    grep -q "refused" "$work/logs/agent-$i" || fail "agent $i refused nothing"
  done
  check_histories
  note "full run passed: $agents agents, $changes changes ($refused refused)"
}

if [ "$full" = --full ]; then full_run; else small_run; fi
