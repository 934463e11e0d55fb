#!/usr/bin/env bash
# Builds Quorvantel.exe and the dialog benchmark for Windows and runs the
# benchmark under Wine, set up as scripts/test.sh sets up the Windows tests:
# the same prefix, a virtual X display and a persistent wineserver.
#
#   bash bench/dialog_bench.sh [--runs N] [--small-only] [--large-only] [--timeout S]
#
# It prints figures and is no test; its exit status is 1 only when a command
# went wrong (an error box, a wrong caption, wrong files), never for a time.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

qv_install_packages
qv_build_windows Quorvantel dialog_bench

qv_start_wine
trap qv_stop_wine EXIT

# The tests' host locale: code page 1252, and file names Wine can create.
qv_say "benchmark"
LC_ALL=C.UTF-8 wine "$QV_WIN_BUILD/bench/dialog_bench.exe" "$@" "$QV_WIN_BUILD/Quorvantel.exe"
