#!/bin/bash
# pendral-settings through its accessibility tree (settings_test.py) on an Xvfb of
# its own, with AT-SPI on a session bus of its own; then, as root, its idle switch
# against a real systemd --user (tests/wayland/user_manager.sh) for a user the test
# makes, whose pendral-idle.service is a stand-in that notes the file's idle time,
# and the window on a headless sway (tests/wayland/sway_session.sh). Test runs the
# saver beside SETTINGS_BINARY.
#   settings_test.sh SOURCE_ROOT SETTINGS_BINARY
# Exits 77 (skipped) when Xvfb, xdotool, ImageMagick or Debian's python3-pyatspi is
# missing, or when all that ran passed but a part was skipped (it says which).
set -u
root=$1 binary=$2
source "$root/scripts/env.sh"
for tool in Xvfb xdotool import dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: no python3-pyatspi"; exit 77; }

work=$(mktemp -d /tmp/pendral-settings.XXXXXX)
home="$work/home"
user=""
cleanup() {
  [ -e "$home/.user-manager" ] && "$root/tests/wayland/user_manager.sh" stop "$home"
  [ -n "$user" ] && userdel "$user"
  pendral_stop_display
  rm -rf "$work"
}
trap cleanup EXIT
pendral_start_display 1024x768x24 || exit 1
chmod 755 "$work"
mkdir "$work/x11"
status=0
# An X11 session, no user manager: the values, changes, preview, a failed save, Test.
env -u WAYLAND_DISPLAY XDG_SESSION_TYPE=x11 dbus-run-session -- /usr/bin/python3 "$root/tests/settings/settings_test.py" \
  "$binary" "$work/x11" || status=1

if [ "$(id -u)" != 0 ] || [ ! -x "$root/tests/wayland/user_manager.sh" ]; then
  echo "skipped: the idle switch against systemd --user and the window on sway (need root)"
  [ $status = 0 ] && exit 77
  exit $status
fi
# The window on a headless sway as its user, GTK on Wayland: no user manager there.
if command -v sway grim wtype wayvnc swaymsg >/dev/null; then
  (source "$root/tests/wayland/sway_session.sh"
   trap pendral_sway_stop EXIT
   pendral_sway_start || exit 1
   # Copies the sway user can read (the sources may be in a home of 0700).
   cp "$binary" "$(dirname "$binary")/pendral" "$root/tests/settings/settings_test.py" "$SWAY_DIR/" || exit 1
   pendral_as_sway_user env GDK_BACKEND=wayland XDG_SESSION_TYPE=wayland dbus-run-session -- /usr/bin/python3 \
     "$SWAY_DIR/settings_test.py" "$SWAY_DIR/pendral-settings" "$SWAY_DIR/conf" --sway) || status=1
else
  skipped="the window on sway (no sway, grim, wtype or wayvnc)"
fi
# A Wayland desktop that starts graphical-session.target, told by its environment
# (the window itself is on the Xvfb), and a user manager that knows the service.
user="pendral-settings-$$"
useradd -M -s /usr/sbin/nologin "$user" || exit 1
units="$home/.config/systemd/user"
mkdir -p "$units"
cp "$binary" "$root/tests/settings/settings_test.py" "$work/"
printf '%s\n' '[Service]' "ExecStart=/bin/sh -c 'grep ^idle $home/.config/pendral/pendral.conf >$home/idle-seen; exec sleep 600'" \
  '[Install]' 'WantedBy=default.target' >"$units/pendral-idle.service"
chown -R "$user:" "$home"
chmod 700 "$home"
eval "$("$root/tests/wayland/user_manager.sh" start "$user" "$home")" || exit 1
xhost "+si:localuser:$user" >/dev/null || exit 1
setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --init-groups env -i PATH="$PATH" HOME="$home" \
  DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
  XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=KDE GDK_BACKEND=x11 \
  /usr/bin/python3 "$work/settings_test.py" "$work/pendral-settings" "$home/.config" --switch || status=1
[ $status = 0 ] && [ -n "${skipped:-}" ] && { echo "skipped: $skipped"; exit 77; }
exit $status
