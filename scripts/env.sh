# Shared set-up for scripts/run and scripts/test: sourced, not run.
# Installs what is missing from Debian's packages, and prepares Wine and a display.

PENDRAL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

pendral_need_packages() {
  local missing=()
  command -v cmake >/dev/null || missing+=(cmake)
  command -v ninja >/dev/null || missing+=(ninja-build)
  command -v g++ >/dev/null || missing+=(g++)
  command -v clang++ >/dev/null || missing+=(clang)
  [ -e /usr/lib/x86_64-linux-gnu/libclang_rt.fuzzer-x86_64.a ] || \
    ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 || missing+=(libclang-rt-dev)
  [ -d /usr/src/googletest ] || missing+=(googletest)
  [ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
  [ -e /usr/include/benchmark/benchmark.h ] || missing+=(libbenchmark-dev)
  # tools/painter writes PNG pictures with zlib.
  [ -e /usr/include/zlib.h ] || missing+=(zlib1g-dev)
  command -v i686-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-i686)
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64)
  command -v wine >/dev/null || missing+=(wine wine64)
  dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
  command -v Xvfb >/dev/null || missing+=(xvfb)
  # Two monitors for the Windows and the Linux saver's tests: a real X server with the dummy video driver.
  command -v Xorg >/dev/null || missing+=(xserver-xorg-core)
  [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] || missing+=(xserver-xorg-video-dummy)
  command -v xrandr >/dev/null || missing+=(x11-xserver-utils)
  command -v convert >/dev/null && convert -version 2>/dev/null | grep -q ImageMagick || missing+=(imagemagick)
  command -v xwd >/dev/null || missing+=(x11-apps)
  command -v xdotool >/dev/null || missing+=(xdotool)
  [ -e /usr/include/X11/Xlib.h ] || missing+=(libx11-dev)
  [ -e /usr/include/X11/extensions/XShm.h ] || missing+=(libxext-dev)
  [ -e /usr/include/X11/extensions/Xrandr.h ] || missing+=(libxrandr-dev)
  [ -e /usr/include/X11/extensions/Xinerama.h ] || missing+=(libxinerama-dev)
  command -v xscreensaver-command >/dev/null || missing+=(xscreensaver)
  # scripts/package and its checks: the setup program, the Debian package, the zip.
  command -v makensis >/dev/null || missing+=(nsis)
  command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
  command -v file >/dev/null || missing+=(file)
  command -v lintian >/dev/null || missing+=(lintian)
  command -v desktop-file-validate >/dev/null || missing+=(desktop-file-utils)
  command -v zip >/dev/null || missing+=(zip)
  command -v unzip >/dev/null || missing+=(unzip)
  # pendral -wayland: the client library and xdg-shell to build it; headless sway, a
  # virtual pointer (wayvnc), screenshots, typed keys and the idle daemon to test it.
  [ -e /usr/include/wayland-client.h ] || missing+=(libwayland-dev)
  [ -e /usr/share/wayland-protocols/stable/xdg-shell/xdg-shell.xml ] || missing+=(wayland-protocols)
  for tool in sway grim wtype wayvnc swayidle; do command -v $tool >/dev/null || missing+=($tool); done
  pendral_install "${missing[@]}"
}

# What each way of scripts/run needs, and no more; pendral_need_packages and
# pendral_need_web install everything, for scripts/test. The Windows run: the 32-bit
# MinGW build, Wine (32-bit, so the i386 architecture) and a virtual display to show it in;
# given win64, the 64-bit build and Wine instead.
pendral_need_windows_run() {
  local build=(g++-mingw-w64-i686 wine wine32:i386)
  [ "${1:-win32}" = win64 ] && build=(g++-mingw-w64-x86-64 wine wine64)
  pendral_install_missing cmake=cmake ninja-build googletest "${build[@]}" xvfb x11-apps imagemagick xdotool
}
# --linux: the native build (its tests' libraries are part of configuring it), the X
# libraries and a virtual display.
pendral_need_linux_run() {
  pendral_install_missing cmake=cmake ninja-build g++ libgtest-dev libbenchmark-dev zlib1g-dev \
    libx11-dev libxext-dev libxrandr-dev libxinerama-dev xvfb x11-apps imagemagick
}
# --web: Emscripten, Node.js and Chromium for the screenshot (Debian's, or the one that
# PENDRAL_CHROMIUM names), and puppeteer-core to drive it.
pendral_need_web_run() {
  local browser=chromium
  [ -x "${PENDRAL_CHROMIUM:-/usr/bin/chromium}" ] && browser=""
  pendral_install_missing cmake=cmake ninja-build googletest emscripten=emcc nodejs=node npm=npm $browser || return 1
  pendral_need_puppeteer
}

# Installs those of the Debian packages named that dpkg does not list as installed.
# PACKAGE=COMMAND counts as there also when the command is (Node.js from elsewhere
# brings its own npm, which Debian's npm package conflicts with).
pendral_install_missing() {
  local missing=() entry
  for entry; do
    [ "${entry#*=}" != "$entry" ] && command -v "${entry#*=}" >/dev/null && continue
    dpkg-query -W -f '${Status}\n' "${entry%%=*}" 2>/dev/null | grep -q ' installed$' || missing+=("${entry%%=*}")
  done
  pendral_install "${missing[@]}"
}

# Installs the Debian packages named (none: nothing to do); adds the i386 architecture
# only when one of them is an i386 package.
pendral_install() {
  [ $# -gt 0 ] || return 0
  echo "Installing: $*"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  case " $* " in
    *:i386\ *) $sudo dpkg --add-architecture i386 ;;
  esac
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" >/dev/null
}

# The browser build: Debian's Emscripten (with its prebuilt system libraries),
# Node.js and the engines the page is tested in (Chromium, Firefox ESR, and
# WebKitGTK's MiniBrowser with its WebDriver server), and, from the npm registry,
# puppeteer-core at the version locked in tests/web/package-lock.json, in
# build/node (the web preset's NODE_PATH).
pendral_need_web() {
  local missing=()
  command -v emcc >/dev/null || missing+=(emscripten)
  command -v chromium >/dev/null || missing+=(chromium)
  command -v firefox-esr >/dev/null || missing+=(firefox-esr)
  command -v WebKitWebDriver >/dev/null || missing+=(webkit2gtk-driver)
  ls /usr/lib/*/webkit2gtk-4.1/MiniBrowser >/dev/null 2>&1 || missing+=(libwebkit2gtk-4.1-0)
  command -v node >/dev/null || missing+=(nodejs)
  command -v npm >/dev/null || missing+=(npm)
  pendral_install "${missing[@]}" || return 1
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

# Wine: a prefix of the project's own, never asking for Mono or Gecko, quiet.
pendral_wine_env() {
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX="${WINEPREFIX:-$PENDRAL_ROOT/build/wine/default}"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w || true
  fi
}

# A Wine prefix that is booted and then never run in, for copies (cp -a) that start
# from a known state without a boot of their own, which takes about 20 s:
# $PENDRAL_WINE_TEMPLATE, booted again when Wine's version changed.
pendral_wine_template() {
  local dir="$PENDRAL_WINE_TEMPLATE" version
  version=$(wine --version 2>/dev/null)
  [ -f "$dir/system.reg" ] && [ "$(cat "$dir/.wine-version" 2>/dev/null)" = "$version" ] && return 0
  rm -rf "$dir" && mkdir -p "$dir" || return 1
  WINEPREFIX="$dir" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i
  WINEPREFIX="$dir" wineserver -w
  [ -f "$dir/system.reg" ] && echo "$version" >"$dir/.wine-version"
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
