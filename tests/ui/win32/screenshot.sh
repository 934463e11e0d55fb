#!/bin/sh
# Takes a screenshot of the dialog under Wine in Xvfb.
#   screenshot.sh <wine> <qv_e2e.exe> <Quorvantel.exe> <output folder>
# The driver sets the dialog up, writes "ready" with the dialog's rectangle,
# and waits for "done"; the picture is taken in between. With
# QV_SCREENSHOT_MENU set the row's menu is open; with QV_SCREENSHOT_MESSAGE
# the picture is of the message refusing a second mod over the same file.
set -eu
wine=$1 driver=$2 program=$3 out=$4

: "${DISPLAY:?DISPLAY must name the X display Wine draws on}"
mkdir -p "$out"
rm -f "$out/ready" "$out/done" "$out/dialog.png" "$out/screen.png"

QV_SCREENSHOT_DIR=$out "$wine" "$driver" --gtest_filter=Scenario.HoldForScreenshot \
  "$program" >"$out/driver.log" 2>&1 &
driver_pid=$!

i=0
while [ ! -f "$out/ready" ]; do
  i=$((i + 1))
  if [ $i -gt 600 ] || ! kill -0 $driver_pid 2>/dev/null; then
    echo "the driver did not get the dialog ready:" >&2
    cat "$out/driver.log" >&2
    touch "$out/done"
    wait $driver_pid || true
    exit 1
  fi
  sleep 0.1
done
# Give Wine a moment to finish painting the controls.
sleep 1
read -r width height left top <"$out/ready"
status=0
import -display "$DISPLAY" -window root "$out/screen.png" || status=1
import -display "$DISPLAY" -window root -crop "${width}x${height}+${left}+${top}" +repage \
  "$out/dialog.png" || status=1
touch "$out/done"
wait $driver_pid || status=1
if [ $status -ne 0 ]; then
  cat "$out/driver.log" >&2
  exit 1
fi

# A blank capture (nothing drawn) has a single colour.
colours=$(identify -format '%k' "$out/dialog.png")
if [ "$colours" -lt 8 ]; then
  echo "the dialog picture has only $colours colours" >&2
  exit 1
fi
echo "screenshot: $out/dialog.png"
