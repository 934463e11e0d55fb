#!/usr/bin/env bash
# Installs what is needed, builds Quorvantel.exe and starts it under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

qv_install_packages
qv_build_windows
qv_wine_env
if [ -z "${DISPLAY:-}" ]; then
  qv_say "no display: starting a virtual one ($((${QV_DISPLAY_NUMBER:-91})) or the next free)"
  qv_start_xvfb
  trap 'kill "$QV_XVFB_PID" 2>/dev/null || true' EXIT
fi
qv_say "starting $QV_WIN_BUILD/Quorvantel.exe (settings: $QV_WIN_BUILD/Quorvantel.ini)"
status=0
wine "$QV_WIN_BUILD/Quorvantel.exe" || status=$?
qv_say "Quorvantel exited with status $status"
