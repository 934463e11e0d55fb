#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it: the native
# Linux program, or with --wine Quorvantel.exe under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

wine_build=0
case "${1:-}" in
  "") ;;
  --wine) wine_build=1 ;;
  *) echo "usage: $0 [--wine]" >&2; exit 2 ;;
esac

qv_install_packages
if [ $wine_build -eq 1 ]; then
  qv_build_windows Quorvantel
  qv_wine_env
else
  qv_build_linux quorvantel
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  qv_say "no display: starting a virtual one ($((${QV_DISPLAY_NUMBER:-91})) or the next free)"
  qv_start_xvfb
  trap 'kill "$QV_XVFB_PID" 2>/dev/null || true' EXIT
fi
status=0
if [ $wine_build -eq 1 ]; then
  qv_say "starting $QV_WIN_BUILD/Quorvantel.exe (settings: $QV_WIN_BUILD/Quorvantel.ini)"
  wine "$QV_WIN_BUILD/Quorvantel.exe" || status=$?
else
  qv_say "starting $QV_LINUX_BUILD/quorvantel (settings: $QV_LINUX_BUILD/Quorvantel.ini)"
  "$QV_LINUX_BUILD/quorvantel" || status=$?
fi
qv_say "Quorvantel exited with status $status"
