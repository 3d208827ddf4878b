# A headless sway for the Wayland tests, sourced. sway refuses to run as root, so
# it runs as a user made for it (and removed again), in a runtime folder of its
# own; wayvnc beside it gives the seat a pointer and a keyboard, which a headless
# sway has none of. Outputs: HEADLESS-1 at 1024x768 at 0,0, and as many more as
# pendral_sway_start is given ("WIDTHxHEIGHT X Y" each).
#   pendral_sway_start [OUTPUT...]  sets SWAY_USER, SWAY_UID, SWAY_GID, SWAY_DIR,
#                                   SWAYSOCK, WAYLAND_DISPLAY and PENDRAL_WAYVNC_PID
#                                   (exported)
#   pendral_as_sway_user CMD...     runs CMD as that user in the session
#   pendral_sway_stop               ends sway and wayvnc, removes the user and folder

pendral_as_sway_user() { (pendral_exec_as_sway_user "$@"); }

# The same in place of the shell: run in the background, $! is the program itself.
pendral_exec_as_sway_user() {
  # sway serves its IPC where SWAYSOCK says, so it is only passed once known.
  exec setpriv --reuid="$SWAY_UID" --regid="$SWAY_GID" --init-groups env -i PATH="$PATH" HOME="$SWAY_DIR" \
    XDG_RUNTIME_DIR="$SWAY_DIR" ${WAYLAND_DISPLAY:+WAYLAND_DISPLAY="$WAYLAND_DISPLAY"} ${SWAYSOCK:+SWAYSOCK="$SWAYSOCK"} "$@"
}

pendral_sway_start() {
  SWAY_USER="pendral-sway-$$"
  useradd -M -s /usr/sbin/nologin "$SWAY_USER" || return 1
  SWAY_UID=$(id -u "$SWAY_USER")
  SWAY_GID=$(id -g "$SWAY_USER")
  SWAY_DIR=$(mktemp -d /tmp/pendral-sway.XXXXXX)
  chown "$SWAY_UID:$SWAY_GID" "$SWAY_DIR"
  chmod 700 "$SWAY_DIR"
  printf '%s\n' 'output HEADLESS-1 resolution 1024x768 position 0 0' 'output * bg #000000 solid_color' 'default_border none' \
    'seat * hide_cursor 100' >"$SWAY_DIR/config"
  export SWAY_USER SWAY_UID SWAY_GID SWAY_DIR
  unset WAYLAND_DISPLAY SWAYSOCK
  pendral_exec_as_sway_user env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$SWAY_DIR/config" >"$SWAY_DIR/sway.log" 2>&1 &
  PENDRAL_SWAY_PID=$!
  local i
  for i in $(seq 1 100); do
    SWAYSOCK=$(ls "$SWAY_DIR"/sway-ipc.*.sock 2>/dev/null | head -n 1)
    WAYLAND_DISPLAY=$(cd "$SWAY_DIR" && ls wayland-? 2>/dev/null | head -n 1)
    [ -n "$SWAYSOCK" ] && [ -n "$WAYLAND_DISPLAY" ] && break
    sleep 0.1
  done
  export SWAYSOCK WAYLAND_DISPLAY
  [ -n "$SWAYSOCK" ] && [ -n "$WAYLAND_DISPLAY" ] || { cat "$SWAY_DIR/sway.log" >&2; return 1; }
  # A port of its own for wayvnc; nothing connects to it.
  pendral_exec_as_sway_user wayvnc 127.0.0.1 $((20000 + $$ % 20000)) >"$SWAY_DIR/wayvnc.log" 2>&1 &
  PENDRAL_WAYVNC_PID=$!
  export PENDRAL_WAYVNC_PID
  local n=2 out
  for out in "$@"; do
    pendral_as_sway_user swaymsg create_output >/dev/null || return 1
    set -- $out
    pendral_as_sway_user swaymsg output "HEADLESS-$n" resolution "$1" position "$2" "$3" >/dev/null || return 1
    n=$((n + 1))
  done
  # The seat has its pointer once wayvnc is up.
  for i in $(seq 1 100); do
    pendral_as_sway_user swaymsg -t get_inputs 2>/dev/null | grep -q pointer && return 0
    sleep 0.1
  done
  echo "wayvnc gave the seat no pointer" >&2
  return 1
}

pendral_sway_stop() {
  [ -n "$PENDRAL_WAYVNC_PID" ] && kill "$PENDRAL_WAYVNC_PID" 2>/dev/null
  [ -n "$PENDRAL_SWAY_PID" ] && kill "$PENDRAL_SWAY_PID" 2>/dev/null
  wait "$PENDRAL_WAYVNC_PID" "$PENDRAL_SWAY_PID" 2>/dev/null
  PENDRAL_WAYVNC_PID="" PENDRAL_SWAY_PID=""
  # sway's own children (swaybg) may take a moment to go, and the user with them.
  local i
  for i in $(seq 1 50); do
    [ -z "$SWAY_USER" ] || userdel "$SWAY_USER" 2>/dev/null || ! id "$SWAY_USER" >/dev/null 2>&1 && break
    sleep 0.1
  done
  [ -n "$SWAY_DIR" ] && rm -rf "$SWAY_DIR"
  SWAY_USER="" SWAY_DIR=""
}
