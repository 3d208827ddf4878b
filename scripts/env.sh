# Shared set-up for scripts/run and scripts/test: sourced, not run.
# Installs what is missing from Debian's packages, and prepares Wine and a display.

PENDRAL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What each build and its run need, as Debian packages. PACKAGE=COMMAND counts as there
# also when the command is (CMake or Node.js installed from elsewhere). Recommended
# packages are not installed (--no-install-recommends): those that are needed are named.
PENDRAL_BUILD_TOOLS=(cmake=cmake ninja-build=ninja)
# A virtual display for a run without one, and its screenshot.
PENDRAL_SHOW_TOOLS=(xvfb x11-apps imagemagick)
# Wine's X11 driver loads these at run time (monitors, cursors, input, text); the
# package only recommends them.
pendral_wine_libs() {
  local arch=${1:+:$1} lib
  for lib in libxrandr2 libxinerama1 libxrender1 libxcursor1 libxi6 libxfixes3 libxcomposite1 libxxf86vm1 libgnutls30; do
    echo "$lib$arch"
  done
}
# The native build: g++, pkg-config (CMake finds the Wayland client library through it),
# the X11 and Wayland libraries, the idle protocols' descriptions, sd-bus (libsystemd) for
# GNOME's idle monitor and the settings window's user services, GTK 4 for the settings
# window, and the test and benchmark libraries that configuring it looks for.
PENDRAL_NATIVE_BUILD=(g++ pkg-config libgtest-dev libbenchmark-dev zlib1g-dev libx11-dev libxext-dev
  libxrandr-dev libxinerama-dev libwayland-dev wayland-protocols plasma-wayland-protocols libsystemd-dev
  libgtk-4-dev)

# Everything that scripts/test needs but the browser's engines (pendral_need_web).
pendral_need_packages() {
  pendral_install_missing "${PENDRAL_BUILD_TOOLS[@]}" "${PENDRAL_NATIVE_BUILD[@]}" "${PENDRAL_SHOW_TOOLS[@]}" \
    googletest clang libclang-rt-dev \
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 fonts-wine \
    $(pendral_wine_libs) $(pendral_wine_libs i386) \
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils xdotool xscreensaver \
    nsis dpkg-dev file lintian desktop-file-utils zip unzip \
    sway grim wtype wayvnc swayidle kwin-wayland mutter cage weston dbus \
    systemd dbus-user-session python3-dbus python3-gi at-spi2-core python3-pyatspi
}

# What each way of scripts/run needs, and no more. The Windows run: the 32-bit MinGW
# build, Wine (32-bit, so the i386 architecture) and a virtual display to show it in;
# given win64, the 64-bit build and Wine instead.
pendral_need_windows_run() {
  local build=(g++-mingw-w64-i686 wine wine32:i386 $(pendral_wine_libs i386))
  [ "${1:-win32}" = win64 ] && build=(g++-mingw-w64-x86-64 wine wine64 $(pendral_wine_libs))
  pendral_install_missing "${PENDRAL_BUILD_TOOLS[@]}" googletest "${build[@]}" fonts-wine "${PENDRAL_SHOW_TOOLS[@]}" xdotool
}
# --linux: the native build and a virtual display.
pendral_need_linux_run() {
  pendral_install_missing "${PENDRAL_BUILD_TOOLS[@]}" "${PENDRAL_NATIVE_BUILD[@]}" "${PENDRAL_SHOW_TOOLS[@]}"
}
# --web: Emscripten, Node.js and Chromium for the screenshot (Debian's, or the one that
# PENDRAL_CHROMIUM names), and puppeteer-core to drive it.
pendral_need_web_run() {
  local browser=chromium
  [ -x "${PENDRAL_CHROMIUM:-/usr/bin/chromium}" ] && browser=""
  pendral_install_missing "${PENDRAL_BUILD_TOOLS[@]}" googletest emscripten=emcc nodejs=node npm=npm $browser || return 1
  pendral_need_puppeteer
}

# The Debian packages named (PACKAGE or PACKAGE=COMMAND) that are not there.
pendral_missing_packages() {
  local entry
  for entry; do
    [ "${entry#*=}" != "$entry" ] && command -v "${entry#*=}" >/dev/null && continue
    dpkg-query -W -f '${Status}\n' "${entry%%=*}" 2>/dev/null | grep -q ' installed$' || echo "${entry%%=*}"
  done
}

# Installs those of the packages named that are not there, then says which of them are
# still missing (and fails) rather than leaving it to a build step to fail obscurely.
pendral_install_missing() {
  local missing
  missing=($(pendral_missing_packages "$@"))
  [ ${#missing[@]} -gt 0 ] || return 0
  pendral_install "${missing[@]}" || true
  missing=($(pendral_missing_packages "$@"))
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "missing Debian packages: ${missing[*]} (apt-get install ${missing[*]})" >&2
  return 1
}

# Installs the Debian packages named, without the packages they only recommend; adds
# the i386 architecture only when one of them is an i386 package.
pendral_install() {
  [ $# -gt 0 ] || return 0
  echo "Installing: $*"
  local as_root=(env)
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  case " $* " in
    *:i386\ *) "${as_root[@]}" dpkg --add-architecture i386 ;;
  esac
  # A mirror in the middle of a sync serves some indexes out of step with the others
  # ("File has unexpected size ... Mirror sync in progress?"), for one index or for all:
  # the update is tried once more after a pause, then the install goes on with the lists
  # apt has, which may well hold every package asked for.
  local update_errors="" attempt
  for attempt in 1 2; do
    update_errors=$("${as_root[@]}" apt-get update -qq 2>&1 >/dev/null) && { update_errors=""; break; }
    echo "$update_errors" >&2
    [ $attempt -eq 1 ] || { echo "apt-get update failed again: going on with the package lists apt has" >&2; break; }
    echo "apt-get update failed: trying again in ${PENDRAL_APT_RETRY_SECONDS:-30} s" >&2
    sleep "${PENDRAL_APT_RETRY_SECONDS:-30}"
  done
  "${as_root[@]}" DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" >/dev/null && return 0
  case "$update_errors" in
    *"Mirror sync in progress"*)
      echo "The Debian mirror was in the middle of a sync (apt-get update failed for some of its indexes);" \
        "try again later." >&2 ;;
  esac
  return 1
}

# The browser build: Debian's Emscripten (with its prebuilt system libraries),
# Node.js and the engines the page is tested in (Chromium, Firefox ESR, and
# WebKitGTK's MiniBrowser with its WebDriver server), and, from the npm registry,
# puppeteer-core at the version locked in tests/web/package-lock.json, in
# build/node (the web preset's NODE_PATH).
pendral_need_web() {
  pendral_install_missing emscripten=emcc chromium firefox-esr webkit2gtk-driver libwebkit2gtk-4.1-0 \
    nodejs=node npm=npm || return 1
  pendral_need_puppeteer
}

# puppeteer-core from the npm registry, at the version tests/web/package-lock.json locks.
pendral_need_puppeteer() {
  local modules="$PENDRAL_ROOT/build/node"
  if [ ! -d "$modules/node_modules/puppeteer-core" ] ||
     ! cmp -s "$PENDRAL_ROOT/tests/web/package-lock.json" "$modules/package-lock.json"; then
    echo "Installing puppeteer-core (npm) into build/node"
    mkdir -p "$modules"
    cp "$PENDRAL_ROOT/tests/web/package.json" "$PENDRAL_ROOT/tests/web/package-lock.json" "$modules/"
    (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error >/dev/null) || return 1
  fi
}

# The engines' names and versions, as the page's tests meet them.
pendral_web_engines() {
  echo "$(chromium --version 2>/dev/null | cut -d' ' -f1-2)," \
    "$(firefox-esr --version 2>/dev/null | sed 's/^Mozilla //')," \
    "WebKitGTK $(dpkg-query -W -f '${Version}' libwebkit2gtk-4.1-0 2>/dev/null | sed 's/-.*//')"
}

# What a Wine prefix is made for: Wine's version and the architectures it has (a prefix
# that 32-bit Wine alone made cannot run 64-bit programs once wine64 comes).
pendral_wine_kind() {
  local loader
  printf '%s' "$(wine --version 2>/dev/null)"
  for loader in /usr/lib/wine/wine /usr/lib/wine/wine64; do
    [ -x "$loader" ] && printf ' %s' "${loader##*/}"
  done
  echo
}

# Boots the Wine prefix $1 unless it was booted for this Wine (pendral_wine_kind);
# one made for another is removed and booted again.
pendral_wine_boot() {
  local dir=$1 kind
  kind=$(pendral_wine_kind)
  [ -f "$dir/system.reg" ] && [ "$(cat "$dir/.wine-kind" 2>/dev/null)" = "$kind" ] && return 0
  [ -d "$dir" ] && WINEPREFIX="$dir" wineserver -k 2>/dev/null
  rm -rf "$dir" && mkdir -p "$dir" || return 1
  WINEPREFIX="$dir" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i
  WINEPREFIX="$dir" wineserver -w
  [ -f "$dir/system.reg" ] && echo "$kind" >"$dir/.wine-kind"
}

# Wine: a prefix of the project's own, never asking for Mono or Gecko, quiet.
pendral_wine_env() {
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$PENDRAL_ROOT/build/wine/default"
    pendral_wine_boot "$WINEPREFIX" >/dev/null 2>&1 || true
  elif [ ! -f "$WINEPREFIX/system.reg" ]; then
    # A prefix of the caller's own: booted if new, never removed.
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
}

# A Wine prefix that is booted and then never run in, for copies (cp -a) that start
# from a known state without a boot of their own, which takes about 20 s:
# $PENDRAL_WINE_TEMPLATE, booted again when Wine changed.
pendral_wine_template() {
  pendral_wine_boot "$PENDRAL_WINE_TEMPLATE" && pendral_wine_no_crash_debugger "$PENDRAL_WINE_TEMPLATE"
}

# A program that crashes in the Wine prefix $1 ends at once, as a test's failure should,
# instead of starting Wine's debugger (winedbg --auto), which on a test's display leaves it
# waiting for as long as the test is let run. Wine runs no winedbg.exe there: with no
# debugger to start, the crash ends the process (in 2 s, against 25 minutes of CTest's).
pendral_wine_no_crash_debugger() {
  grep -qF '"winedbg.exe"=""' "$1/user.reg" 2>/dev/null && return 0
  WINEPREFIX="$1" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine\DllOverrides' /v winedbg.exe /d '' /f >/dev/null &&
    WINEPREFIX="$1" wineserver -w
}

# A copy of a Wine prefix (pendral_wine_copy FROM TO) in which Wine's own libraries and
# programs in system32 and syswow64, 1.2 of its 1.3 GB, are hard links to FROM's: nothing
# writes them in place (a file put there takes a new one). The rest, from the registry
# to the .ini files, is a copy of its own.
pendral_wine_copy() {
  local from=$1 to=$2
  cp -a --link "$from" "$to" || return 1
  find "$to" -type f ! \( \( -path "$to/drive_c/windows/system32/*" -o -path "$to/drive_c/windows/syswow64/*" \) \
    \( -name '*.dll' -o -name '*.exe' -o -name '*.drv' -o -name '*.sys' \) \) \
    -exec sh -c 'for f; do cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f" || exit 1; done' sh {} +
}

# Starts an X server (the command given, without a display number) on a number it
# chooses itself (-displayfd: free at that moment, however many servers start at
# once) and returns when it accepts clients. Sets DISPLAY and PENDRAL_XVFB_PID.
PENDRAL_XVFB_PID=""
pendral_start_x_server() {
  local fifo n=""
  fifo=$(mktemp -u) && mkfifo "$fifo" || return 1
  "$@" -displayfd 3 3>"$fifo" >/dev/null 2>&1 &
  PENDRAL_XVFB_PID=$!
  read -r -t 30 n <"$fifo"
  rm -f "$fifo"
  [ -n "$n" ] || { echo "$1 did not start" >&2; return 1; }
  export DISPLAY=":$n"
}

# A virtual display, unless one is given. Sets DISPLAY; the caller stops it with pendral_stop_display.
pendral_start_display() {
  pendral_start_x_server Xvfb -screen 0 "${1:-1024x768x24}" -nolisten tcp
}

# A display of several monitors, which Xvfb cannot make: a real X server with the
# dummy video driver, its outputs set with xrandr, one "WIDTHxHEIGHT+X+Y" each
# (default: 1024x768 at 0,0 and 800x600 at 1024,300). Sets DISPLAY; stopped by
# pendral_stop_display like Xvfb.
pendral_start_desk_display() {
  [ $# -gt 0 ] || set -- 1024x768+0+0 800x600+1024+300
  local conf i=0 out
  conf=$(mktemp)
  printf '%s\n' 'Section "Device"' ' Identifier "dummy"' ' Driver "dummy"' ' VideoRam 256000' 'EndSection' \
    'Section "Monitor"' ' Identifier "monitor"' ' HorizSync 5.0 - 1000.0' ' VertRefresh 5.0 - 200.0' 'EndSection' \
    'Section "Screen"' ' Identifier "screen"' ' Device "dummy"' ' Monitor "monitor"' ' DefaultDepth 24' \
    ' SubSection "Display"' '  Depth 24' '  Virtual 4480 2560' ' EndSubSection' 'EndSection' >"$conf"
  pendral_start_x_server Xorg -config "$conf" -noreset -nolisten tcp -novtswitch -sharevts -logfile /dev/null ||
    { rm -f "$conf"; return 1; }
  rm -f "$conf"
  for out in "$@"; do
    local mode=${out%%+*} pos=${out#*+}
    [ $i -eq 0 ] || xrandr --addmode "DUMMY$i" "$mode" || return 1
    xrandr --output "DUMMY$i" --mode "$mode" --pos "${pos/+/x}" || return 1
    i=$((i + 1))
  done
  # Asking for the monitors has the server take in the new outputs; a client that
  # asks only for the screen's resources (as Wine does) may see one monitor without it.
  [ "$(xrandr --listmonitors | head -n 1)" = "Monitors: $#" ] || { echo "the dummy X server did not take $# monitors" >&2; return 1; }
}

pendral_stop_display() {
  if [ -n "$PENDRAL_XVFB_PID" ]; then
    kill "$PENDRAL_XVFB_PID" 2>/dev/null || true
    wait "$PENDRAL_XVFB_PID" 2>/dev/null || true
    PENDRAL_XVFB_PID=""
  fi
}
