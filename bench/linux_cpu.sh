#!/usr/bin/env bash
# CPU and memory of the native saver beside XScreenSaver's own `attraction`,
# both with 100 bodies and a 20 ms tick, each on its own 1024x768 Xvfb, and of
# `pendral -wayland` on a headless sway of one 1024x768 output (where sway is
# installed; tests/wayland/sway_session.sh), with beside it the idle watcher
# `pendral -wayland -idle` while it waits, and of pendral-settings with its live
# preview (100 bodies too) on an Xvfb of its own. All run at the same time, so all
# see the same load on the machine; after a warm-up each is measured over the
# same period. The CPU counted is the program's plus its server's (the X server,
# or the compositor) (utime + stime from /proc/PID/stat), as a share of one
# core. Also prints the peak resident memory (VmHWM) of each.
#
#   bench/linux_cpu.sh [PENDRAL] [SECONDS] [WARM-UP SECONDS]
#
# A benchmark, not a test: it asserts nothing and scripts/test does not run it.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
pendral=${1:-$root/build/native/pendral}
settings=$(dirname "$pendral")/pendral-settings
period=${2:-20}
warmup=${3:-3}
attraction=/usr/libexec/xscreensaver/attraction

[ -x "$pendral" ] || { echo "no $pendral: build the native preset first" >&2; exit 1; }
if [ ! -x "$attraction" ]; then
  echo "Installing xscreensaver-data-extra (for attraction)"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq xscreensaver-data-extra >/dev/null
  [ -x "$attraction" ] || { echo "attraction is not available" >&2; exit 1; }
fi

work=$(mktemp -d)
pids=()
cleanup() {
  [ ${#pids[@]} -gt 0 ] && kill "${pids[@]}" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
  [ -n "${SWAY_USER:-}" ] && pendral_sway_stop
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Starts an Xvfb on a display number of its own choosing; sets xpid and display.
start_xvfb() {
  local file="$work/display.$1"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$file" >/dev/null 2>&1 &
  xpid=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$file" ] && break
    sleep 0.1
  done
  [ -s "$file" ] || { echo "Xvfb did not start" >&2; return 1; }
  display=":$(head -n 1 "$file")"
}

# utime + stime of a process, in clock ticks.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }
peak_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0; }

names=(pendral attraction)
commands=("$pendral -root -count 100"
          "$attraction -root -points 100 -delay 20000")
declare -a xvfb program
programs=(0 1)
for i in 0 1; do
  start_xvfb "$i"
  started=$?
  pids+=("$xpid")
  [ "$started" -eq 0 ] || exit 1
  xvfb[$i]=$xpid
  env -u XSCREENSAVER_WINDOW DISPLAY=$display ${commands[$i]} >"$work/out.$i" 2>&1 &
  program[$i]=$!
  pids+=("${program[$i]}")
done
if command -v sway >/dev/null && command -v wayvnc >/dev/null; then
  # The compositor's CPU counts where the X server's does for the others.
  source "$root/tests/wayland/sway_session.sh"
  if pendral_sway_start; then
    names[2]="pendral -wayland"
    xvfb[2]=$PENDRAL_SWAY_PID
    setpriv --reuid="$SWAY_UID" --regid="$SWAY_GID" --init-groups env XDG_RUNTIME_DIR="$SWAY_DIR" \
      WAYLAND_DISPLAY="$WAYLAND_DISPLAY" "$pendral" -wayland -count 100 >"$work/out.2" 2>&1 &
    program[2]=$!
    pids+=("${program[2]}")
    programs+=(2)
    # The idle watcher while it waits, on the same sway (it never shows: a day's idle
    # time); the compositor's CPU is counted once, in the row above.
    names[3]="pendral -idle"
    xvfb[3]=none
    setpriv --reuid="$SWAY_UID" --regid="$SWAY_GID" --init-groups env XDG_RUNTIME_DIR="$SWAY_DIR" \
      WAYLAND_DISPLAY="$WAYLAND_DISPLAY" "$pendral" -wayland -idle 86400 >"$work/out.3" 2>&1 &
    program[3]=$!
    pids+=("${program[3]}")
    programs+=(3)
  fi
fi

if [ -x "$settings" ]; then
  # The settings window, its preview ticking; its X server counts, as for the savers.
  start_xvfb 4 || exit 1
  pids+=("$xpid")
  xvfb[4]=$xpid
  names[4]="pendral-settings"
  mkdir -p "$work/config/pendral"
  echo "count = 100" >"$work/config/pendral/pendral.conf"
  env -u WAYLAND_DISPLAY DISPLAY=$display XDG_CONFIG_HOME="$work/config" GTK_A11Y=none \
    "$settings" >"$work/out.4" 2>&1 &
  program[4]=$!
  pids+=("${program[4]}")
  programs+=(4)
fi

sleep "$warmup"
declare -a p0 x0 p1 x1 peak
for i in "${programs[@]}"; do
  kill -0 "${program[$i]}" 2>/dev/null || { echo "${names[$i]} ended early:" >&2; cat "$work/out.$i" >&2; exit 1; }
  p0[$i]=$(ticks "${program[$i]}")
  x0[$i]=$(ticks "${xvfb[$i]}")
done
start=$(date +%s.%N)
sleep "$period"
end=$(date +%s.%N)
for i in "${programs[@]}"; do
  kill -0 "${program[$i]}" 2>/dev/null || { echo "${names[$i]} ended early:" >&2; cat "$work/out.$i" >&2; exit 1; }
  p1[$i]=$(ticks "${program[$i]}")
  x1[$i]=$(ticks "${xvfb[$i]}")
  peak[$i]=$(peak_kb "${program[$i]}")
done

hz=$(getconf CLK_TCK)
printf '%d bodies, 1024x768x24 Xvfb or headless sway output each, 20 ms tick, %s s measured after %s s warm-up\n' \
  100 "$period" "$warmup"
printf '%-17s %10s %10s %10s %12s\n' program "program" "server" "total" "peak RSS"
for i in "${programs[@]}"; do
  awk -v n="${names[$i]}" -v p="$((p1[i] - p0[i]))" -v x="$((x1[i] - x0[i]))" -v hz="$hz" \
      -v t0="$start" -v t1="$end" -v kb="${peak[$i]}" 'BEGIN {
    s = (t1 - t0) * hz / 100
    printf "%-17s %9.1f%% %9.1f%% %9.1f%% %9.1f MB\n", n, p / s, x / s, (p + x) / s, kb / 1024
  }'
done
echo "(CPU as a share of one core; peak RSS is VmHWM, 1 MB = 1024 kB)"
