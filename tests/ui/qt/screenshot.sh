#!/bin/sh
# Takes a picture of the dialog in a virtual X display, for a person to look
# at: a portable copy of the program with two mods, the first installed by
# clicking its row and the Install button.
#   screenshot.sh <program> <mod archive> <output folder>
# Leaves <output folder>/dialog-qt.png and the whole screen beside it.
set -eu
program=$1 archive=$2 out=$3

if [ -z "${QV_IN_XVFB:-}" ]; then
  QV_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" sh "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb
unset XDG_RUNTIME_DIR

work=$out/work
rm -rf "$work" "$out/dialog-qt.png" "$out/screen-qt.png"
mkdir -p "$work/app" "$work/mods" "$work/game/data"
cp "$program" "$work/app/quorvantel"
cp "$archive" "$work/mods/HD Textures.zip"
cp "$archive" "$work/mods/Better Sounds.zip"
printf 'original\n' >"$work/game/data/a.txt"
cat >"$work/app/Quorvantel.ini" <<EOF
[FileNo0]
FileName=$work/mods/HD Textures.zip
ExtractTo=$work/game
[FileNo1]
FileName=$work/mods/Better Sounds.zip
ExtractTo=$work/game
EOF

"$work/app/quorvantel" >"$work/program.log" 2>&1 &
pid=$!
finish() {
  kill -TERM $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
}
trap finish EXIT
window=$(xdotool search --sync --onlyvisible --name '^Quorvantel Ver1\.3$' | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$window")"  # WIDTH, HEIGHT of 169 x 125 units
# The first row, then the Install button at (115, 85, 50, 15) units.
xdotool mousemove --window "$window" 20 8 click 1
sleep 0.5
xdotool mousemove --window "$window" $((WIDTH * 140 / 169)) $((HEIGHT * 185 / 250)) click 1
i=0
until grep -q '^Extracted=1' "$work/app/Quorvantel.ini"; do
  i=$((i + 1))
  if [ $i -gt 100 ]; then
    echo "the install did not happen" >&2
    cat "$work/program.log" >&2
    exit 1
  fi
  sleep 0.1
done
sleep 0.5  # the refresh after the install
import -window root "$out/screen-qt.png"
import -window "$window" "$out/dialog-qt.png"

# A blank capture (nothing drawn) has a single colour.
colours=$(identify -format '%k' "$out/dialog-qt.png")
if [ "$colours" -lt 8 ]; then
  echo "the dialog picture has only $colours colours" >&2
  exit 1
fi
echo "screenshot: $out/dialog-qt.png"
