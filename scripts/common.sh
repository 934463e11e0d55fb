# Shared by the README's two commands. Sourced, not run.

QV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_LINUX_BUILD=$QV_ROOT/build/linux
QV_WIN_BUILD=$QV_ROOT/build/win64
QV_JOBS=$(nproc 2>/dev/null || echo 2)

# Everything the builds and tests need, as Debian packages.
QV_PACKAGES=(
  cmake g++ make python3 zlib1g-dev libsimpleini-dev googletest
  qt6-base-dev desktop-file-utils
  mingw-w64 libz-mingw-w64-dev wine wine64 xvfb fonts-ipafont locales
  imagemagick x11-utils xdotool
)

qv_say() { printf '== %s\n' "$*"; }

# Installs what is missing, with sudo when not root; does nothing when all
# packages are there already.
qv_install_packages() {
  local missing=()
  local p
  for p in "${QV_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  qv_say "installing ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

qv_configure() {  # build folder, extra cmake arguments...
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$QV_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  fi
}

qv_build_linux() {  # targets to build; all of them when none is named
  qv_say "building for Linux in build/linux"
  qv_configure "$QV_LINUX_BUILD"
  if [ $# -gt 0 ]; then
    set -- --target "$@"
  fi
  cmake --build "$QV_LINUX_BUILD" -j "$QV_JOBS" "$@"
}

qv_build_windows() {  # targets to build; all of them when none is named
  qv_say "building for Windows in build/win64"
  qv_configure "$QV_WIN_BUILD" -DCMAKE_TOOLCHAIN_FILE="$QV_ROOT/cmake/mingw-w64-x86_64.cmake"
  if [ $# -gt 0 ]; then
    set -- --target "$@"
  fi
  cmake --build "$QV_WIN_BUILD" -j "$QV_JOBS" "$@"
}

# Wine's settings for every Windows program we start.
qv_wine_env() {
  export WINEPREFIX=$QV_WIN_BUILD/wineprefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  bash "$QV_ROOT/scripts/wine-prefix.sh" "$WINEPREFIX"
}

# Starts Xvfb on a free display and exports DISPLAY; QV_XVFB_PID tells
# which process to end.
qv_start_xvfb() {
  local n=${QV_DISPLAY_NUMBER:-91}
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do
    n=$((n + 1))
  done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  QV_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  echo "Xvfb did not start" >&2
  return 1
}

# A virtual display and a persistent wineserver for the Windows programs run
# next. A wineserver started by a test, or Wine's background services started
# by the first program, would hold a caller's pipe open (CTest waits for it):
# both are started here, once. A server left over from creating the prefix is
# not persistent; it is replaced. qv_stop_wine ends both.
qv_start_wine() {
  qv_wine_env
  qv_start_xvfb
  wineserver -k >/dev/null 2>&1 </dev/null || true
  wineserver -w >/dev/null 2>&1 </dev/null || true
  wineserver -p >/dev/null 2>&1 </dev/null
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

qv_stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
  kill "$QV_XVFB_PID" 2>/dev/null || true
}
