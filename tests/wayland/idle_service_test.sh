#!/bin/bash
# The packaged user service pendral-idle under a real systemd --user
# (user_manager.sh), for the user of a headless sway (sway_session.sh), its
# ExecStart pointed at the built saver by a drop-in: sway's config lines of
# README.Debian start it through pendral-sway-session.target; sway stopped under
# the waiting watcher makes the unit restart it, and a new sway on the same socket
# is watched again (the saver shows there once idle); sway's end stops it.
#   idle_service_test.sh SOURCE_ROOT SAVER
set -u
root=$1
source "$root/scripts/env.sh"
source "$root/tests/wayland/sway_session.sh"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# Waits for a condition (shell words, evaluated afresh each time) with a limit that
# only bounds a failure.
wait_for() {
  local limit=$1 i
  shift
  for i in $(seq 1 $((limit * 10))); do
    eval "$*" 2>/dev/null && return 0
    sleep 0.1
  done
  eval "$*"
}

cleanup() {
  [ -n "${SWAY_DIR:-}" ] && [ -e "$SWAY_DIR/.user-manager" ] && "$root/tests/wayland/user_manager.sh" stop "$SWAY_DIR"
  pendral_sway_stop
}
trap cleanup EXIT

pendral_sway_start || exit 1
cp "$2" "$SWAY_DIR/pendral" && chown "$SWAY_UID:$SWAY_GID" "$SWAY_DIR/pendral"
units="$SWAY_DIR/.config/systemd/user"
mkdir -p "$units/pendral-idle.service.d"
cp "$root/packaging/linux/pendral-idle.service" "$root/packaging/linux/pendral-sway-session.target" "$units/"
# The built saver, with its protocol log in a file (no journal here); as many
# restarts as a busy machine may need before the new sway is up.
printf '%s\n' '[Unit]' 'StartLimitBurst=1000' '[Service]' 'ExecStart=' "ExecStart=$SWAY_DIR/pendral -wayland -idle 2" \
  'Environment=WAYLAND_DEBUG=1' "StandardError=append:$SWAY_DIR/watcher.log" >"$units/pendral-idle.service.d/test.conf"
chown -R "$SWAY_UID:$SWAY_GID" "$SWAY_DIR/.config"
eval "$("$root/tests/wayland/user_manager.sh" start "$SWAY_USER" "$SWAY_DIR")" || exit 1

user_systemctl() { pendral_as_sway_user systemctl --user "$@"; }
watcher_pid() { user_systemctl show -p MainPID --value pendral-idle.service; }
# Requests in the log since its line `from` (the saver's surfaces, its idle timeouts).
logged() { tail -n "+$1" "$SWAY_DIR/watcher.log" 2>/dev/null | grep -c -- "$2"; }
log_lines() { wc -l <"$SWAY_DIR/watcher.log" 2>/dev/null || echo 0; }

user_systemctl enable pendral-idle.service >/dev/null 2>&1 || fail "systemctl --user enable pendral-idle"
# sway's config lines, as README.Debian gives them.
pendral_as_sway_user sh -c 'systemctl --user import-environment WAYLAND_DISPLAY SWAYSOCK &&
  systemctl --user start pendral-sway-session.target' || fail "pendral-sway-session.target did not start"
wait_for 30 '[ "$(watcher_pid)" -gt 0 ]' || fail "pendral-idle did not start with the sway session"
first=$(watcher_pid)
# Idle for 2 s, it shows.
wait_for 30 '[ "$(logged 1 create_surface)" -gt 0 ]' || fail "the watcher did not show once idle"

# sway stopped under the watcher (showing, or waiting again after): as when KWin
# restarts itself keeping its socket.
from=$(($(log_lines) + 1))
kill "$PENDRAL_SWAY_PID" "$PENDRAL_WAYVNC_PID"
wait "$PENDRAL_SWAY_PID" "$PENDRAL_WAYVNC_PID" 2>/dev/null
rm -f "$SWAY_DIR"/sway-ipc.*.sock
display=$WAYLAND_DISPLAY
unset WAYLAND_DISPLAY SWAYSOCK
wait_for 30 'grep -q "the Wayland compositor went away" "$SWAY_DIR/watcher.log"' || fail "the watcher did not say the compositor went away"
# A new sway on the same socket: the restarted watcher watches it and shows once idle.
pendral_exec_as_sway_user env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  sway -c "$SWAY_DIR/config" >"$SWAY_DIR/sway2.log" 2>&1 &
PENDRAL_SWAY_PID=$!
wait_for 30 '[ -S "$SWAY_DIR/$display" ] && ls "$SWAY_DIR"/sway-ipc.*.sock >/dev/null' || fail "the new sway serves no $display"
export WAYLAND_DISPLAY=$display SWAYSOCK=$(ls "$SWAY_DIR"/sway-ipc.*.sock | head -n 1)
# The second line of sway's config, here for the new sway only: the first one's
# end would have stopped the session, as a sway that ends does.
pendral_as_sway_user sh -c "swaymsg -t subscribe '[\"shutdown\"]' >/dev/null 2>&1; systemctl --user stop pendral-sway-session.target" &
stopper=$!
wait_for 60 '[ "$(logged "$from" get_idle_timeout)" -gt 0 ]' || fail "no restarted watcher asked the new sway for the idle time"
wait_for 30 '[ "$(logged "$from" create_surface)" -gt 0 ]' || fail "the restarted watcher did not show once idle"
[ "$(user_systemctl show -p NRestarts --value pendral-idle.service)" -ge 1 ] || fail "systemd did not restart pendral-idle"
[ "$(watcher_pid)" != "$first" ] && [ "$(watcher_pid)" -gt 0 ] || fail "pendral-idle runs no new watcher"

# sway's end stops the session target, and the watcher with it.
kill -0 "$stopper" && [ "$(user_systemctl is-active pendral-idle.service)" = active ] ||
  fail "sway's shutdown line ended before sway did"
pendral_as_sway_user swaymsg exit >/dev/null 2>&1
wait_for 30 '[ "$(user_systemctl is-active pendral-idle.service)" != active ]' || fail "pendral-idle still runs after sway's end"
wait_for 30 '[ "$(user_systemctl is-active graphical-session.target)" = inactive ]' || fail "graphical-session.target still active after sway's end"
wait "$stopper" 2>/dev/null
[ "$failures" -eq 0 ] || { tail -n 20 "$SWAY_DIR/watcher.log" >&2; exit 1; }
echo "pendral-idle under systemd --user: all passed"
