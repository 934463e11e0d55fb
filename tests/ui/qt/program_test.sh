#!/bin/sh
# The program as a user gets it: put in place by `cmake --install`, then
# started as a process (on the offscreen platform): where its settings go,
# one running copy per settings file, and its exit status.
#   program_test.sh <cmake> <build folder> <work folder>
set -eu
cmake=$1 build=$2 work=$3

rm -rf "$work"
mkdir -p "$work"
export QT_QPA_PLATFORM=offscreen HOME="$work/home" XDG_CONFIG_HOME="$work/config"
unset XDG_RUNTIME_DIR
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log"
for file in bin/quorvantel share/applications/quorvantel.desktop \
            share/icons/hicolor/32x32/apps/quorvantel.png \
            share/icons/hicolor/64x64/apps/quorvantel.png \
            share/icons/hicolor/128x128/apps/quorvantel.png; do
  [ -f "$prefix/$file" ] || fail "cmake --install did not put $file in place"
done
desktop-file-validate "$prefix/share/applications/quorvantel.desktop" || fail "desktop entry"

# Starts the program in the background; `started` is its process id once it
# has written its settings file anew (start-up does that at once, after it
# has begun to listen for signals).
start() {  # program, settings file
  rm -f "$2"
  "$1" >>"$work/program.log" 2>&1 &
  started=$!
  i=0
  until [ -f "$2" ]; do
    i=$((i + 1))
    if [ $i -gt 100 ] || ! kill -0 $started 2>/dev/null; then
      fail "$1 did not write $2"
      return 1
    fi
    sleep 0.1
  done
}
# Ends it as the session does, and checks it ends as a close does: status 1.
stop() {  # what it was
  kill -TERM $started
  status=0
  wait $started || status=$?
  [ $status -eq 1 ] || fail "$1 ended with $status after SIGTERM, not 1"
}

# Installed: the settings live in the user's configuration folder.
installed=$prefix/bin/quorvantel
settings=$work/config/quorvantel/Quorvantel.ini
if start "$installed" "$settings"; then
  [ ! -e "$prefix/bin/Quorvantel.ini" ] || fail "the installed copy wrote beside itself"
  # A second start with the same settings hands over to the first and leaves.
  status=0
  "$installed" >>"$work/program.log" 2>&1 || status=$?
  [ $status -eq 0 ] || fail "a second start ended with $status, not 0"
  kill -0 $started 2>/dev/null || fail "the first copy did not outlive the second start"
  stop "the installed copy"
fi

# A relative XDG_CONFIG_HOME is to be ignored: ~/.config instead.
XDG_CONFIG_HOME=relative
start "$installed" "$HOME/.config/quorvantel/Quorvantel.ini" && stop "the copy without XDG_CONFIG_HOME"
XDG_CONFIG_HOME=$work/config

# A copy that was killed leaves its lock behind; the next start takes it.
if start "$installed" "$settings"; then
  kill -KILL $started
  wait $started || true
  start "$installed" "$settings" && stop "the start after a killed copy"
fi

# Portable: a copy in a folder of its own keeps its settings there, and runs
# beside the installed one.
mkdir -p "$work/portable"
cp "$installed" "$work/portable/"
if start "$installed" "$settings"; then
  first=$started
  start "$work/portable/quorvantel" "$work/portable/Quorvantel.ini" && stop "the portable copy"
  started=$first
  stop "the installed copy beside the portable one"
fi

if [ $failed -ne 0 ]; then
  cat "$work/program.log" >&2
  exit 1
fi
echo "program test passed"
