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

run_ctest "Linux" "$QV_LINUX_BUILD"

qv_start_wine
trap qv_stop_wine EXIT
run_ctest "Windows (Wine)" "$QV_WIN_BUILD"

echo
qv_say "summary"
printf '%s\n' "${summary[@]}"
echo "total: ${QV_PASSED:-0} passed, ${QV_FAILED:-0} failed"
exit $failed
