#!/bin/sh
# Keeps a local configuration file equal to one etcd key: the key's value now,
# then every new value, each handed to `dezov put`, which checks it and
# replaces the file atomically (a broken value is refused and the file stays).
# Programs watching the file (DeployWatch, `dezov deploy FILE watch`) reload.
#
# Usage: etcd-sync.sh KEY FILE
# etcdctl finds the cluster through ETCDCTL_ENDPOINTS (default 127.0.0.1:2379);
# DEZOV names the dezov program (default: dezov on PATH).
set -eu
[ $# -eq 2 ] || { echo "usage: $0 KEY FILE" >&2; exit 2; }
export ETCDCTL_API=3
export DEZOV_SYNC_KEY="$1" DEZOV_SYNC_FILE="$2" DEZOV_SYNC_TOOL="${DEZOV:-dezov}"
key=$1

# The value at one revision, then the changes after it: nothing is missed in between.
revision=$(etcdctl get "$key" -w fields | sed -n 's/^"Revision" : //p')
[ -n "$revision" ] || { echo "$0: cannot reach etcd" >&2; exit 2; }
etcdctl get "$key" --rev="$revision" --print-value-only |
  "$DEZOV_SYNC_TOOL" put "$DEZOV_SYNC_FILE" || true

# etcdctl hands the command the value (and key) quoted; the command fetches
# the exact bytes of the event's revision instead. A deleted key gives no
# bytes, which dezov put refuses. A refused value must not end the watch
# (etcdctl stops at a failing command). etcdctl's own event lines are not needed.
exec etcdctl watch "$key" --rev=$((revision + 1)) -- sh -c \
  'etcdctl get "$DEZOV_SYNC_KEY" --rev="$ETCD_WATCH_REVISION" --print-value-only |
     "$DEZOV_SYNC_TOOL" put "$DEZOV_SYNC_FILE" ||
   echo "etcd-sync: revision $ETCD_WATCH_REVISION refused, $DEZOV_SYNC_FILE unchanged" >&2' \
  >/dev/null
