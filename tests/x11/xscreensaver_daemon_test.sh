#!/usr/bin/env bash
# The real XScreenSaver daemon runs the native saver in a virtual display:
# `xscreensaver-command -activate` must put moving green discs on black on the
# screen, and `-deactivate` must end the saver's process, leaving no zombie.
#
#   xscreensaver_daemon_test.sh SAVER [ARGS...]
#
# The daemon refuses to run as root, so the test (run as root) creates a
# throw-away user with a home of its own and runs the daemon as that user. A
# trap stops every process of that user and the display, and removes the user
# and the files, whatever happens. With PENDRAL_SHOTS_DIR set, the two
# screenshots are kept there.
set -uo pipefail

if [ "$(id -u)" -ne 0 ]; then
  # Without root there is no user to create. CI runs as root: there this fails.
  echo "needs root, to create the user that runs the daemon"
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi

saver=${1:?usage: $0 SAVER [ARGS...]}
shift
saver_args=("$@")
name=$(basename "$saver")

for tool in Xvfb xscreensaver xscreensaver-command xwd convert compare; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/env.sh installs it)"; exit 1; }
done
[ -x "$saver" ] || { echo "FAIL: $saver is not an executable"; exit 1; }

work=$(mktemp -d /tmp/pendral-xss.XXXXXX)
chmod 755 "$work"
home="$work/home"
mkdir -p "$home/bin"
xvfb_pid=""
daemon_pid=""
user=""

say() { echo "[$(date +%T)] $*"; }

# Every process of the test user, the daemon and the display, by their ids.
user_pids() { [ -n "$user" ] && ps -o pid= -u "$user" 2>/dev/null | tr -d ' '; }

cleanup() {
  local pids
  [ -n "$daemon_pid" ] && kill "$daemon_pid" 2>/dev/null
  pids=$(user_pids)
  [ -n "$pids" ] && kill $pids 2>/dev/null
  for _ in $(seq 1 20); do
    pids=$(user_pids)
    [ -z "$pids" ] && break
    sleep 0.1
  done
  pids=$(user_pids)
  [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
  [ -n "$daemon_pid" ] && wait "$daemon_pid" 2>/dev/null
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  if [ -n "$user" ]; then
    for _ in $(seq 1 20); do
      userdel "$user" 2>/dev/null && break
      sleep 0.1
    done
    id "$user" >/dev/null 2>&1 && echo "warning: could not remove user $user"
  fi
  if [ -n "${PENDRAL_SHOTS_DIR:-}" ]; then
    for shot in first second; do
      [ -f "$work/$shot.png" ] && cp "$work/$shot.png" "$PENDRAL_SHOTS_DIR/xscreensaver-$shot.png"
    done
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() {
  echo "FAIL: $*"
  if [ -s "$work/daemon.log" ]; then
    echo "--- daemon log (last 60 lines)"
    tail -n 60 "$work/daemon.log"
  fi
  echo "--- processes of the saver's user"
  [ -n "$user" ] && ps -o pid,ppid,stat,comm -u "$user" 2>/dev/null
  exit 1
}

# Runs COMMAND every 0.2 s until it succeeds, for at most $bound seconds: a
# bound that only ends a wait that failed, with room for a busy machine.
bound=30
wait_for() {
  local deadline=$((SECONDS + bound))
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

# --- the display: its own number, chosen by the server, open to the test user
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -ac >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
wait_for test -s "$work/display" || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
export DISPLAY=":$(head -n 1 "$work/display")"
say "display $DISPLAY"

# --- the user that runs the daemon
cp "$saver" "$home/bin/$name"
user="pxss$$"
useradd -M -N -g nogroup -d "$home" -s /bin/sh "$user" || { user=""; fail "useradd failed"; }
chown -R "$user" "$home"
as_user=(setpriv --reuid="$user" --regid=nogroup --clear-groups)
# The daemon's session gets an init process of its own, which reaps what the
# daemon orphans (it stops its graphics helper without waiting for the saver),
# promptly, as a desktop's init does; this machine's PID 1 reaps late.
session=(unshare --pid --fork --kill-child)
"${session[@]}" true 2>/dev/null || session=()
say "created user $user"
# Every command runs in the same clean environment as the daemon.
user_env=(env -i HOME="$home" USER="$user" LOGNAME="$user" DISPLAY="$DISPLAY" PATH=/usr/local/bin:/usr/bin:/bin)
run_as_user() { "${as_user[@]}" "${user_env[@]}" "$@"; }

# No splash, no lock, no fade, no power saving, no own timeout: only the
# commands below blank and unblank the screen, with the one saver.
cat >"$home/.xscreensaver" <<EOF
timeout:	1:00:00
cycle:	0:00:00
lock:	False
lockTimeout:	0:00:00
dpmsEnabled:	False
dpmsQuickoffEnabled:	False
fade:	False
unfade:	False
splash:	False
grabDesktopImages:	False
grabVideoFrames:	False
mode:	one
selected:	0
programs:	"Saver under test" $home/bin/$name ${saver_args[*]} \n
EOF
chown "$user" "$home/.xscreensaver"

"${session[@]}" "${as_user[@]}" "${user_env[@]}" bash -c 'xscreensaver -no-splash -verbose & wait $!; echo "xscreensaver: exit status $?"' \
  >"$work/daemon.log" 2>&1 &
daemon_pid=$!
# A client that comes and goes while the daemon sets up its input handling can
# make it exit, so the first command waits until its log shows it past that.
wait_for grep -q "launched xscreensaver-auth" "$work/daemon.log" || fail "the daemon did not start"
wait_for run_as_user xscreensaver-command -time >/dev/null 2>&1 || fail "the daemon does not answer"
say "daemon running (pid $daemon_pid)"

saver_pids() { pgrep -u "$user" -x "$name"; }
saver_pids >/dev/null && fail "$name runs before the screen is blanked"

# --- blank: the daemon starts the saver, which draws moving discs
run_as_user xscreensaver-command -activate >/dev/null 2>&1 || fail "xscreensaver-command -activate failed"
wait_for saver_pids >/dev/null || fail "the daemon did not start $name"
say "$name running (pid $(saver_pids | tr '\n' ' '))"

# Screenshot $1.png; sets green (plain-disc pixels, counted on every second
# pixel of every second row) and black (share of black pixels, percent).
shoot() {
  xwd -root -silent | convert xwd:- "$work/$1.png" || return 1
  read -r green black < <(convert "$work/$1.png" -sample 50% \
    \( +clone -fx 'g>0.25 && g>2*r && g>2*b' -format '%[fx:round(mean*w*h)] ' -write info:- +delete \) \
    -fill white +opaque black -format '%[fx:round(100*(1-mean))]\n' info:-)
}
green_on_black() { shoot first && [ "${green:-0}" -ge 100 ] && [ "${black:-0}" -ge 50 ]; }
wait_for green_on_black || fail "no green discs on black: $green green pixels, $black% black"
say "first screenshot: $green green pixels, $black% black"
# Then one where they moved.
# (compare's status tells whether the pictures differ: its count is what counts.)
moved() {
  shoot second && [ "${green:-0}" -ge 100 ] && [ "${black:-0}" -ge 50 ] || return 1
  changed=$(compare -metric AE "$work/first.png" "$work/second.png" null: 2>&1)
  [ "${changed%%.*}" -gt 0 ] 2>/dev/null
}
changed=0
wait_for moved || fail "the discs did not move: second screenshot $green green pixels, $black% black, $changed pixels changed"
say "second screenshot: $green green pixels, $black% black, $changed pixels changed"

# --- unblank: the daemon ends the saver, and reaps it
run_as_user xscreensaver-command -deactivate >/dev/null 2>&1 || fail "xscreensaver-command -deactivate failed"
wait_for bash -c "! pgrep -u '$user' -x '$name' >/dev/null" || fail "$name is still there after -deactivate"
say "$name ended, no process left"
kill -0 "$daemon_pid" 2>/dev/null || fail "the daemon ended"
grep -E "forked|killing|exited" "$work/daemon.log"
echo "PASS"
