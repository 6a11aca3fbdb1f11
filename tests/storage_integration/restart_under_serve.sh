#!/usr/bin/env bash
# Run by item_processes_test inside a scripts/env/keyring-session of its
# own: one `serve` of the command-line host keeps running while the session's
# gnome-keyring-daemon is stopped and started again. Prints the reply lines.
# Usage: restart_under_serve.sh HOST_BINARY
set -euo pipefail

host=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/quillmar-restart.XXXXXX")
serve_pid=""
daemon_pid=""
cleanup() {
  exec 3>&- || true
  if [ -n "$serve_pid" ]; then wait "$serve_pid" 2>/dev/null || true; fi
  if [ -n "$daemon_pid" ]; then
    kill "$daemon_pid" 2>/dev/null || true
    wait "$daemon_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

bus() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    "org.freedesktop.DBus.$1" string:org.freedesktop.secrets 2>/dev/null
}
served() { bus NameHasOwner | grep -q 'boolean true'; }
wait_until() {
  for _ in $(seq 100); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  echo "restart_under_serve: timed out waiting for: $*" >&2
  exit 1
}
not() { ! "$@"; }

stop_daemon() {
  local pid
  pid=$(bus GetConnectionUnixProcessID | awk '/uint32/ {print $2}')
  kill "$pid"
  if [ "$pid" = "$daemon_pid" ]; then
    wait "$daemon_pid" 2>/dev/null || true
    daemon_pid=""
  fi
  wait_until not served
}

# With the password keyring-session gave the login keyring, which it unlocks;
# it must not hold the host's input open.
start_daemon() {
  printf 'quillmar-throwaway' |
    gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 3>&- &
  daemon_pid=$!
  wait_until served
}

mkfifo "$work/in"
"$host" serve <"$work/in" >"$work/out" 2>/dev/null &
serve_pid=$!
exec 3>"$work/in"
calls=0
has_replies() { [ "$(wc -l <"$work/out")" -ge "$calls" ]; }
call() {
  calls=$((calls + 1))
  printf '{"id": %d, "method": "%s", "arguments": %s}\n' "$calls" "$1" "$2" >&3
  wait_until has_replies
  sed -n "${calls}p" "$work/out"
}

call upsertKeychainItem '{"itemKey": "k", "itemValue": "before"}'
stop_daemon
call getKeychainItem '{"itemKey": "k"}'
call upsertKeychainItem '{"itemKey": "k", "itemValue": "during"}'
call deleteKeychainItem '{"itemKey": "k"}'
start_daemon
call getKeychainItem '{"itemKey": "k"}'
call upsertKeychainItem '{"itemKey": "k", "itemValue": "after"}'
stop_daemon
start_daemon
call getKeychainItem '{"itemKey": "k"}'
call deleteKeychainItem '{"itemKey": "k"}'
