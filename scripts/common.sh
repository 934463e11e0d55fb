# Shared by the README's two commands. Sourced, not run.

QV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QV_LINUX_BUILD=$QV_ROOT/build/linux
QV_WIN_BUILD=$QV_ROOT/build/win64
QV_ASAN_BUILD=$QV_ROOT/build/asan
QV_TSAN_BUILD=$QV_ROOT/build/tsan
QV_FUZZ_BUILD=$QV_ROOT/build/fuzz
QV_JOBS=$(nproc 2>/dev/null || echo 2)

# Everything the builds and tests need, as Debian packages.
QV_PACKAGES=(
  cmake g++ make python3 zlib1g-dev libsimpleini-dev googletest
  qt6-base-dev desktop-file-utils
  mingw-w64 libz-mingw-w64-dev wine wine64 xvfb fonts-ipafont locales
  imagemagick x11-utils xdotool
  clang libclang-rt-14-dev llvm
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

# The core's tests built with clang and a sanitizer, without Qt: build/asan
# (AddressSanitizer and UndefinedBehaviorSanitizer) and build/tsan
# (ThreadSanitizer). Any report ends the run as a failure.
QV_ASAN_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
QV_TSAN_FLAGS="-fsanitize=thread -g"

qv_sanitizer_env() {
  export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
  # Reports name files and lines.
  local symbolizer
  symbolizer=$(command -v llvm-symbolizer || ls /usr/lib/llvm-*/bin/llvm-symbolizer 2>/dev/null | tail -n 1 || true)
  if [ -n "$symbolizer" ]; then
    export ASAN_SYMBOLIZER_PATH=$symbolizer
    export UBSAN_SYMBOLIZER_PATH=$symbolizer
    export TSAN_SYMBOLIZER_PATH=$symbolizer
  fi
}

qv_build_sanitized() {  # build folder, compiler and linker flags
  local dir=$1 flags=$2
  qv_say "building core_tests in ${dir#"$QV_ROOT"/} ($flags)"
  # At -O1, with the assertions on (no NDEBUG): these builds are for finding faults.
  qv_configure "$dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DCMAKE_C_FLAGS_RELEASE=-O1 -DCMAKE_CXX_FLAGS_RELEASE=-O1 \
    "-DCMAKE_C_FLAGS=$flags" "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=$flags"
  cmake --build "$dir" -j "$QV_JOBS" --target core_tests
}

# The fuzz targets (tests/fuzz), where clang is: false when it is not.
qv_build_fuzz() {
  if ! command -v clang++ >/dev/null 2>&1; then
    qv_say "no clang: the fuzz targets are not built"
    return 1
  fi
  qv_say "building the fuzz targets in build/fuzz"
  qv_configure "$QV_FUZZ_BUILD" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQV_FUZZ=ON -DQV_BUILD_TESTS=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON
  cmake --build "$QV_FUZZ_BUILD" -j "$QV_JOBS" --target fuzz_targets
}

QV_FUZZ_TARGETS=(zip record ini repair)

# Prints what a failed fuzz run reported, from its log.
qv_fuzz_report() {  # log
  sed -n '/== fuzz target:\|runtime error\|ERROR: \(AddressSanitizer\|LeakSanitizer\|libFuzzer\)/,$p' "$1" |
    grep -v '^    #[0-9]* 0x[0-9a-f]* in fuzzer::' | head -n 60
}

# A regression run of one fuzz target, no fuzzing: its seeds in one
# process, then each reproducer alone, so that every one that fails is
# named. False when any input fails (a crash, a sanitizer report, a broken
# check of the target, or a hang: -timeout).
qv_fuzz_regress() {  # target name: zip, record, ini or repair
  local name=$1
  local target=$QV_FUZZ_BUILD/tests/fuzz/fuzz_$name
  local seeds=() reproducers=() input log ok=0
  if [ "$name" = zip ]; then
    seeds=("$QV_FUZZ_BUILD"/fixtures/*.zip)
  else
    seeds=("$QV_ROOT/tests/fuzz/corpus/$name"/*)
  fi
  if [ -d "$QV_ROOT/tests/fuzz/reproducers/$name" ]; then
    reproducers=("$QV_ROOT/tests/fuzz/reproducers/$name"/*)
  fi
  # The targets' scratch folders and any crashing input stay in build/fuzz.
  local work=$QV_FUZZ_BUILD/run/$name
  rm -rf "$work"
  mkdir -p "$work/tmp"
  log=$work/log
  qv_sanitizer_env
  if [ ! -e "${seeds[0]}" ]; then
    echo "fuzz_$name: no seeds"
    return 1
  fi
  if ! (cd "$work" && TMPDIR=$work/tmp "$target" -timeout=30 -artifact_prefix="$work/" \
        "${seeds[@]}") >"$log" 2>&1; then
    echo "fuzz_$name: a seed fails"
    qv_fuzz_report "$log"
    ok=1
  fi
  for input in "${reproducers[@]}"; do
    [ -e "$input" ] || continue
    if ! (cd "$work" && TMPDIR=$work/tmp "$target" -timeout=10 -artifact_prefix="$work/" \
          "$input") >"$log" 2>&1; then
      echo "fuzz_$name: fails on ${input#"$QV_ROOT"/}"
      qv_fuzz_report "$log"
      ok=1
    fi
  done
  echo "fuzz_$name: ${#seeds[@]} seeds and ${#reproducers[@]} reproducers run"
  return $ok
}
