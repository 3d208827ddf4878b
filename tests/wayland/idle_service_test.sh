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

# expect SECONDS CONDITION MESSAGE: waits for CONDITION (evaluated afresh each time)
# with a limit that only bounds a failure; the test ends with MESSAGE and the
# watcher's last lines if it does not come.
expect() {
  local end=$((SECONDS + $1))
  until eval "$2" 2>/dev/null; do
    [ "$SECONDS" -lt "$end" ] || { echo "FAIL: $3" >&2; tail -n 20 "$SWAY_DIR/watcher.log" >&2; exit 1; }
    sleep 0.1
  done
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
# Requests in the log since its line `from` (the saver's surfaces, its idle timeouts).
logged() { tail -n "+$1" "$SWAY_DIR/watcher.log" | grep -c -- "$2"; }

user_systemctl enable pendral-idle.service >/dev/null 2>&1
# sway's first config line, as README.Debian gives it: the watcher starts, and
# shows once idle for 2 s.
pendral_as_sway_user sh -c 'systemctl --user import-environment WAYLAND_DISPLAY SWAYSOCK &&
  systemctl --user start pendral-sway-session.target'
expect 30 '[ "$(logged 1 create_surface)" -gt 0 ]' "pendral-idle did not start and show with the sway session"

# sway stopped under the watcher (showing, or waiting again after): as when KWin
# restarts itself keeping its socket.
from=$(($(wc -l <"$SWAY_DIR/watcher.log") + 1))
kill "$PENDRAL_SWAY_PID" "$PENDRAL_WAYVNC_PID"
wait "$PENDRAL_SWAY_PID" "$PENDRAL_WAYVNC_PID" 2>/dev/null
rm -f "$SWAY_DIR"/sway-ipc.*.sock
display=$WAYLAND_DISPLAY
unset WAYLAND_DISPLAY SWAYSOCK
expect 30 'grep -q "the Wayland compositor went away" "$SWAY_DIR/watcher.log"' "the watcher did not say the compositor went away"
# A new sway on the same socket: the restarted watcher watches it and shows once idle.
pendral_exec_as_sway_user env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
  sway -c "$SWAY_DIR/config" >"$SWAY_DIR/sway2.log" 2>&1 &
PENDRAL_SWAY_PID=$!
expect 30 '[ -S "$SWAY_DIR/$display" ] && ls "$SWAY_DIR"/sway-ipc.*.sock >/dev/null' "the new sway serves no $display"
export WAYLAND_DISPLAY=$display SWAYSOCK=$(ls "$SWAY_DIR"/sway-ipc.*.sock | head -n 1)
# The second line of sway's config, here for the new sway only: the first one's
# end would have stopped the session, as a sway that ends does.
pendral_as_sway_user sh -c "swaymsg -t subscribe '[\"shutdown\"]' >/dev/null 2>&1; systemctl --user stop pendral-sway-session.target" &
stopper=$!
expect 60 '[ "$(logged "$from" get_idle_timeout)" -gt 0 ]' "no restarted watcher asked the new sway for the idle time"
expect 30 '[ "$(logged "$from" create_surface)" -gt 0 ]' "the restarted watcher did not show once idle"
expect 0 '[ "$(user_systemctl show -p NRestarts --value pendral-idle.service)" -ge 1 ]' "systemd did not restart pendral-idle"

# sway's end stops the session target, and the watcher with it.
expect 0 'kill -0 "$stopper" && [ "$(user_systemctl is-active pendral-idle.service)" = active ]' \
  "sway's shutdown line ended before sway did"
pendral_as_sway_user swaymsg exit >/dev/null 2>&1
expect 30 '[ "$(user_systemctl is-active graphical-session.target)" = inactive ] &&
  [[ "$(user_systemctl is-active pendral-idle.service)" =~ ^(inactive|failed)$ ]]' "pendral-idle or the graphical session still active after sway's end"
wait "$stopper" 2>/dev/null
echo "pendral-idle under systemd --user: all passed"
