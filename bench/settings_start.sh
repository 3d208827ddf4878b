#!/usr/bin/env bash
# pendral-settings from its start to its window on the display, and to the first
# frame of its preview (green bodies in the preview's place, from screenshots of
# the display taken one after another), on an Xvfb of its own; RUNS times.
#
#   bench/settings_start.sh [PENDRAL-SETTINGS] [RUNS]
#
# A benchmark, not a test: it asserts nothing and scripts/test does not run it.
# The screenshots take some tens of milliseconds each: the first frame is known to
# within one of them.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
settings=${1:-$root/build/native/pendral-settings}
runs=${2:-5}
[ -x "$settings" ] || { echo "no $settings: build the native preset first" >&2; exit 1; }
source "$root/scripts/env.sh"
work=$(mktemp -d)
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null
  pendral_stop_display
  rm -rf "$work"
}
trap cleanup EXIT
pendral_start_display 1024x768x24 || exit 1

now_ms() { date +%s%3N; }
# Green pixels where the preview is (it opens at the top left of a display without
# a window manager: 480x270 inside an 18-pixel margin and its frame).
green() {
  import -silent -window root -crop 480x270+19+19 -depth 8 rgb:- 2>/dev/null |
    od -An -v -tu1 -w3 | awk '$2 > 100 && $1 < 90 && $3 < 90 { n++ } END { print n + 0 }'
}
printf '%-5s %12s %14s\n' run "window (ms)" "first frame (ms)"
for run in $(seq 1 "$runs"); do
  start=$(now_ms)
  env -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work" GTK_A11Y=none "$settings" >"$work/out" 2>&1 &
  app=$!
  xdotool search --sync --name '^Pendral Settings$' >/dev/null
  window=$(($(now_ms) - start))
  until [ "$(green)" -gt 0 ]; do
    kill -0 "$app" 2>/dev/null || { cat "$work/out" >&2; exit 1; }
  done
  printf '%-5s %12s %14s\n' "$run" "$window" "$(($(now_ms) - start))"
  kill "$app"
  wait "$app" 2>/dev/null
  app=""
done
