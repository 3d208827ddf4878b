#!/usr/bin/env bash
# Runs the end-to-end group Desks.* on a desk of two monitors of different sizes
# at an offset (scripts/env.sh's dummy X server; Xvfb has one screen), in a Wine
# prefix of its own without Wine's virtual desktop, so that Wine sees both. A
# case may change the monitors while it runs (xrandr, at the case's request).
#   desks.sh <wine> <pendral_e2e.exe> <pendral.scr> <prefix root>
# The prefix is <prefix root>/desks (tests/e2e/prefixes.cmake makes it). The server,
# the prefix's Wine and the helper are stopped at the end, whatever the result.
set -uo pipefail
source "$(dirname "$0")/../../scripts/env.sh"
wine=$1 driver=$2 scr=$3 root=$4
watcher=""
stop() {
  [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
  WINEPREFIX="$root/desks" wineserver -k 2>/dev/null
  pendral_stop_display
}
trap stop EXIT
pendral_start_desk_display || exit 1
# A bar along the bottom of the first monitor, as a taskbar would be: Wine gives
# that monitor the rest as its work area. A tall one, so that the saver's discs,
# which cover the whole monitor, soon show under it.
xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA 0,0,1024,568 || exit 1

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="$root/desks"
[ -f "$WINEPREFIX/system.reg" ] || { echo "no prefix $WINEPREFIX"; exit 1; }

# A case asks for a change of the monitors by writing xrandr's arguments, one
# command a line, to this file; it is removed once they have run. The helper
# serves as long as this script runs, however long a busy machine makes that.
request="$WINEPREFIX/drive_c/pendral-e2e/xrandr"
(while kill -0 $$ 2>/dev/null; do
   if [ -e "$request" ]; then
     while read -r args; do
       [ -n "$args" ] && xrandr $args
     done <"$request"
     xrandr --listmonitors >/dev/null
     rm -f "$request"
   fi
   sleep 0.1
 done) &
watcher=$!
"$wine" "$driver" --scr="$scr" --gtest_filter="${DESKS_FILTER:-Desks.*}"
