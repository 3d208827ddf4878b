#!/bin/bash
# A real systemd --user for a test's user, on a machine not booted with systemd.
# Run as root:
#
#   user_manager.sh start USER FOLDER [SOURCE:TARGET...]
#     Starts /lib/systemd/systemd --user as USER, with HOME and XDG_RUNTIME_DIR the
#     user's 0700 FOLDER (its units can go in FOLDER/.config/systemd/user), in a
#     mount namespace of its own where each SOURCE is bound over TARGET (which must
#     exist): only that manager and what it starts see them. Once the manager
#     answers, prints the environment to use, as shell lines for eval:
#       export XDG_RUNTIME_DIR=FOLDER DBUS_SESSION_BUS_ADDRESS=unix:path=FOLDER/bus
#     then `setpriv --reuid=UID --regid=GID --init-groups env XDG_RUNTIME_DIR=...
#     systemctl --user ...` talks to it.
#   user_manager.sh stop FOLDER
#     Ends that manager and all it started, and removes its control groups.
#
# systemd believes it was booted once /run/systemd/system exists (a tmpfs on
# /run/systemd in the namespace), and wants a control group of its own that the
# user owns, in both hierarchies.
set -u

HIERARCHIES=(/sys/fs/cgroup/systemd /sys/fs/cgroup/unified)

fail() {
  echo "user_manager.sh: $*" >&2
  exit 1
}

# Runs systemctl --user as the manager's user.
as_user() {
  setpriv --reuid="$USER_UID" --regid="$USER_GID" --init-groups env -i PATH="$PATH" XDG_RUNTIME_DIR="$FOLDER" "$@"
}

start() {
  local user=$1 bind h i
  FOLDER=$(cd "$2" && pwd) || fail "no folder $2"
  shift 2
  USER_UID=$(id -u "$user") && USER_GID=$(id -g "$user") || fail "no user $user"
  [ -e "$FOLDER/.user-manager" ] && fail "a manager already runs for $FOLDER"
  local group="pendral-user-manager-$USER_UID-$$"
  for h in "${HIERARCHIES[@]}"; do
    mkdir "$h/$group" && chown -R "$USER_UID:$USER_GID" "$h/$group" || fail "cannot make the control group $h/$group"
  done
  local mounts="mount -t tmpfs tmpfs /run/systemd && mkdir /run/systemd/system"
  for bind; do
    [ -e "${bind#*:}" ] || fail "nothing to bind over at ${bind#*:}"
    mounts+=" && mount --bind '${bind%%:*}' '${bind#*:}'"
  done
  local enter=""
  for h in "${HIERARCHIES[@]}"; do enter+=" && echo \$\$ >'$h/$group/cgroup.procs'"; done
  # setsid execs the namespace's shell in this process (it leads no group), which
  # execs setpriv, which execs the manager: $! is the manager.
  setsid unshare -m --propagation private sh -c "$mounts $enter && exec setpriv --reuid=$USER_UID --regid=$USER_GID \
    --init-groups env -i PATH='$PATH' HOME='$FOLDER' XDG_RUNTIME_DIR='$FOLDER' /lib/systemd/systemd --user" \
    </dev/null >"$FOLDER/user-manager.log" 2>&1 &
  printf '%s\n' "$! $group" >"$FOLDER/.user-manager"
  # It answers once its default target is reached.
  for i in $(seq 1 300); do
    [ "$(as_user systemctl --user is-active default.target 2>/dev/null)" = active ] && break
    kill -0 "$!" 2>/dev/null || { cat "$FOLDER/user-manager.log" >&2; stop; fail "systemd --user ended"; }
    sleep 0.1
  done
  [ "$(as_user systemctl --user is-active default.target 2>/dev/null)" = active ] ||
    { cat "$FOLDER/user-manager.log" >&2; stop; fail "systemd --user does not answer"; }
  echo "export XDG_RUNTIME_DIR='$FOLDER' DBUS_SESSION_BUS_ADDRESS='unix:path=$FOLDER/bus'"
}

stop() {
  local pid group h i
  read -r pid group <"$FOLDER/.user-manager" || fail "no manager runs for $FOLDER"
  # SIGTERM: the manager stops its units and exits.
  kill "$pid" 2>/dev/null
  for i in $(seq 1 100); do
    [ -d "/proc/$pid" ] && [ "$(cut -d ' ' -f 3 "/proc/$pid/stat" 2>/dev/null)" != Z ] || break
    sleep 0.1
  done
  # What is left of it and its units is killed, so that its groups can go.
  for h in "${HIERARCHIES[@]}"; do
    [ -d "$h/$group" ] || continue
    find "$h/$group" -name cgroup.procs -exec cat {} + 2>/dev/null | xargs -r kill -KILL 2>/dev/null
    for i in $(seq 1 50); do
      find "$h/$group" -depth -type d -exec rmdir {} + 2>/dev/null
      [ -d "$h/$group" ] || break
      sleep 0.1
    done
    [ -d "$h/$group" ] && echo "user_manager.sh: cannot remove $h/$group" >&2
  done
  rm -f "$FOLDER/.user-manager"
}

case "${1:-}" in
  start)
    [ $# -ge 3 ] || fail "usage: user_manager.sh start USER FOLDER [SOURCE:TARGET...]"
    shift
    start "$@"
    ;;
  stop)
    [ $# -eq 2 ] || fail "usage: user_manager.sh stop FOLDER"
    FOLDER=$(cd "$2" && pwd) || fail "no folder $2"
    stop
    ;;
  *) fail "usage: user_manager.sh start USER FOLDER [SOURCE:TARGET...] | stop FOLDER" ;;
esac
