#!/usr/bin/env bash
# Installs what is needed, builds for Linux and for Windows, and runs every
# test: natively, then under Wine in a virtual X display.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

qv_install_packages
qv_build_linux
qv_build_windows

summary=()
failed=0
run_ctest() {  # label, build folder
  local label=$1 dir=$2 log
  log=$(mktemp)
  qv_say "testing: $label"
  if (cd "$dir" && ctest --output-on-failure -j 1) 2>&1 | tee "$log"; then :; else failed=1; fi
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  rm -f "$log"
  if [ -z "$line" ]; then
    failed=1
    summary+=("$label: no result")
    return
  fi
  local total bad
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  summary+=("$label: $((total - bad)) passed, $bad failed")
  QV_PASSED=$((${QV_PASSED:-0} + total - bad))
  QV_FAILED=$((${QV_FAILED:-0} + bad))
}

# One check that passes or fails: a line of the summary.
run_check() {  # label, command...
  local label=$1
  shift
  qv_say "testing: $label"
  if "$@"; then
    summary+=("$label: 1 passed, 0 failed")
    QV_PASSED=$((${QV_PASSED:-0} + 1))
  else
    failed=1
    summary+=("$label: 0 passed, 1 failed")
    QV_FAILED=$((${QV_FAILED:-0} + 1))
  fi
}

timings=()
timed() {  # label, command...: runs it and notes how long it took
  local label=$1 start=$SECONDS rc=0
  shift
  "$@" || rc=$?
  timings+=("$label: $((SECONDS - start)) s")
  return $rc
}

run_ctest "Linux" "$QV_LINUX_BUILD"

# The core's tests again under the sanitizers, and the fuzz targets over
# their seeds and reproducers (no fuzzing: see the README).
qv_sanitizer_env
timed "build/asan build" qv_build_sanitized "$QV_ASAN_BUILD" "$QV_ASAN_FLAGS"
timed "build/asan run" run_ctest "Linux (ASan+UBSan)" "$QV_ASAN_BUILD"
timed "build/tsan build" qv_build_sanitized "$QV_TSAN_BUILD" "$QV_TSAN_FLAGS"
timed "build/tsan run" run_ctest "Linux (TSan)" "$QV_TSAN_BUILD"
if timed "build/fuzz build" qv_build_fuzz; then
  start=$SECONDS
  for target in "${QV_FUZZ_TARGETS[@]}"; do
    run_check "fuzz_$target" qv_fuzz_regress "$target"
  done
  timings+=("build/fuzz runs: $((SECONDS - start)) s")
else
  failed=1
  summary+=("fuzz targets: not built")
  QV_FAILED=$((${QV_FAILED:-0} + 1))
fi

qv_start_wine
trap qv_stop_wine EXIT
run_ctest "Windows (Wine)" "$QV_WIN_BUILD"

echo
qv_say "time taken"
printf '%s\n' "${timings[@]}"
qv_say "summary"
printf '%s\n' "${summary[@]}"
echo "total: ${QV_PASSED:-0} passed, ${QV_FAILED:-0} failed"
exit $failed
