# Shared by scripts/run and scripts/test: builds and a private Wine prefix and display.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${MOVARA_BUILD:-$ROOT/build}"
JOBS=2

build_native() {
  cmake -S "$ROOT" -B "$BUILD/native" -DCMAKE_BUILD_TYPE=Debug "$@" >"$BUILD/native-configure.log" 2>&1 \
    || { cat "$BUILD/native-configure.log"; return 1; }
  cmake --build "$BUILD/native" -j "$JOBS"
}

# Wine runs 32-bit Windows programs only where the kernel runs 32-bit Linux
# programs. Where it does not (ia32 emulation switched off), the end-to-end
# tests run a 64-bit build of the same sources in a 64-bit prefix instead;
# the product stays the 32-bit build, whose imports and package are checked
# either way. MOVARA_WINE_ARCH=win32|win64 chooses by hand.
wine_arch() {
  if [ -n "${MOVARA_WINE_ARCH:-}" ]; then
    echo "$MOVARA_WINE_ARCH"
  elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo win32
  else
    echo win64
  fi
}

# The loader for the prefix's architecture, once wine_session_start has set WINE.
wine() { command "${WINE:-wine}" "$@"; }

# The build whose programs run under Wine: build/win32 or build/win64.
build_wine_tests() {
  if [ "$(wine_arch)" = win32 ]; then
    build_win32
    return
  fi
  cmake -S "$ROOT" -B "$BUILD/win64" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$BUILD/win64-configure.log" 2>&1 \
    || { cat "$BUILD/win64-configure.log"; return 1; }
  cmake --build "$BUILD/win64" -j "$JOBS"
}

build_win32() {
  cmake -S "$ROOT" -B "$BUILD/win32" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release >"$BUILD/win32-configure.log" 2>&1 \
    || { cat "$BUILD/win32-configure.log"; return 1; }
  cmake --build "$BUILD/win32" -j "$JOBS"
}

# A private X display, Wine prefix and HOME for one run. The pristine prefix
# is made once per Wine version and copied for every run.
wine_session_start() {
  local name="$1" version=winxp
  export WINEARCH="$(wine_arch)" WINEDEBUG=-all
  # Wine takes the ANSI code page from the Unix locale of each of its
  # processes: the C locale gives 1252, which the tests of names in other
  # scripts expect whatever this machine's locale is.
  export LC_ALL=C.UTF-8
  WINE=wine
  if [ "$WINEARCH" = win64 ]; then
    # Debian's wine script prefers the 32-bit loader whenever it is installed.
    WINE=/usr/lib/wine/wine64 version=winxp64
    export WINELOADER="$WINE"
  fi
  local pristine="$BUILD/wine-pristine-$WINEARCH-$($WINE --version | tr -c 'A-Za-z0-9.\n' '_')"
  if [ ! -f "$pristine/.ready" ]; then
    rm -rf "$pristine"
    mkdir -p "$pristine/home"
    HOME="$pristine/home" WINEPREFIX="$pristine/prefix" $WINE wineboot -i >"$pristine/boot.log" 2>&1
    HOME="$pristine/home" WINEPREFIX="$pristine/prefix" $WINE winecfg -v $version >>"$pristine/boot.log" 2>&1
    HOME="$pristine/home" WINEPREFIX="$pristine/prefix" wineserver -w
    touch "$pristine/.ready"
  fi
  RUNDIR="$BUILD/$name"
  rm -rf "$RUNDIR"
  mkdir -p "$RUNDIR"
  cp -a "$pristine/prefix" "$RUNDIR/prefix"
  cp -a "$pristine/home" "$RUNDIR/home"
  # The prefix's Desktop and Documents links point into the pristine HOME.
  export WINEPREFIX="$RUNDIR/prefix" HOME="$RUNDIR/home"

  if [ -z "${KEEP_DISPLAY:-}" ] || [ -z "${DISPLAY:-}" ]; then
    exec 8>"$RUNDIR/displayfd"
    Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp >"$RUNDIR/xvfb.log" 2>&1 &
    XVFB_PID=$!
    exec 8>&-
    local i
    for i in $(seq 100); do
      [ -s "$RUNDIR/displayfd" ] && break
      sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$RUNDIR/displayfd")"
  fi
}

wine_session_stop() {
  [ -n "${WINEPREFIX:-}" ] && { timeout 20 wineserver -w || wineserver -k; } 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}
