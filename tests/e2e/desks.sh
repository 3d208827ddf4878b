#!/usr/bin/env bash
# Runs the end-to-end group Desks.* on a desk of two monitors: a real X server
# with the dummy video driver (Xvfb has only one screen), its two outputs set
# with xrandr to 1024x768 at 0,0 and 800x600 at 1024,300, and a Wine prefix of
# its own without Wine's virtual desktop, so that Wine sees both monitors. A
# third output is added while a case runs, when that case asks for it.
#   desks.sh <wine> <pendral_e2e.exe> <pendral.scr> <prefix root>
# The prefix is a copy of <prefix root>/nt. The server and the prefix's Wine are
# stopped at the end, whatever the result.
set -uo pipefail
wine=$1 driver=$2 scr=$3 root=$4
work=$(mktemp -d)
display=""
server=""
watcher=""
stop() {
  [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
  [ -d "$root/desks" ] && WINEPREFIX="$root/desks" wineserver -k 2>/dev/null
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap stop EXIT

cat >"$work/xorg.conf" <<'CONF'
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 256000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 4480 2560
  EndSubSection
EndSection
CONF

for n in $(seq 130 160); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xorg ":$n" -config "$work/xorg.conf" -noreset -nolisten tcp -novtswitch -sharevts \
       -logfile "$work/xorg.log" >/dev/null 2>&1 &
  server=$!
  display=":$n"
  break
done
[ -n "$server" ] || { echo "desks: no free display number" >&2; exit 1; }
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && DISPLAY=$display xrandr >/dev/null 2>&1 && break
  sleep 0.1
done
export DISPLAY=$display
if ! { xrandr --output DUMMY0 --mode 1024x768 --pos 0x0 && xrandr --addmode DUMMY1 800x600 &&
       xrandr --output DUMMY1 --mode 800x600 --pos 1024x300; } >"$work/xrandr.log" 2>&1; then
  echo "desks: the dummy X server did not take two monitors" >&2
  cat "$work/xrandr.log" "$work/xorg.log" >&2
  exit 1
fi
# Asking for the monitors has the server take in the new outputs; a client that
# asks only for the screen's resources (as Wine does) saw one monitor without it.
[ "$(xrandr --listmonitors | head -n 1)" = "Monitors: 2" ] || { echo "desks: not two monitors" >&2; exit 1; }

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX="$root/nt" wineserver -w
rm -rf "$root/desks"
cp -a "$root/nt" "$root/desks" || exit 1
export WINEPREFIX="$root/desks"
"$wine" reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1
for value in GrabFullscreen GrabPointer; do
  "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v $value /d N /f >/dev/null 2>&1
done
# The change takes effect with a new Wine server: the desktop of the old one has one screen.
wineserver -k; wineserver -w
# A third monitor, 640x480 below the first, once the running case asks for it.
request="$WINEPREFIX/drive_c/pendral-e2e/add-monitor"
(for _ in $(seq 1 1200); do
   if [ -e "$request" ]; then
     rm -f "$request"
     xrandr --addmode DUMMY2 640x480 && xrandr --output DUMMY2 --mode 640x480 --pos 0x768 &&
       xrandr --listmonitors >/dev/null
     break
   fi
   sleep 0.1
 done) &
watcher=$!
"$wine" "$driver" --scr="$scr" --gtest_filter="${DESKS_FILTER:-Desks.*}"
