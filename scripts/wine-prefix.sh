#!/bin/sh
# Creates and configures the Wine prefix the Windows tests run in.
#   scripts/wine-prefix.sh <prefix folder>
# Idempotent and silent: a prefix that is already set up returns at once.
set -eu

if [ $# -ne 1 ]; then
  echo "usage: $0 <prefix folder>" >&2
  exit 2
fi

prefix=$1
case $prefix in
  /*) ;;
  *) prefix=$(pwd)/$prefix ;;
esac

# Bump when the configuration below changes, so that old prefixes are redone.
version=1
marker=$prefix/.quorvantel-prefix
if [ -f "$marker" ] && [ "$(cat "$marker")" = "$version" ]; then
  exit 0
fi

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer may ever pop up.
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$prefix"
# Output goes to /dev/null, also for a wineserver started here: one that kept
# our caller's pipe open would make the caller wait for the server to exit.
wineboot -i >/dev/null 2>&1 </dev/null

# Debian's Wine does not find its own fonts; without them the caption
# buttons show letters instead of glyphs.
fonts=$prefix/drive_c/windows/Fonts
mkdir -p "$fonts"
for f in /usr/share/wine/fonts/*.ttf; do
  [ -e "$f" ] && cp -f "$f" "$fonts/"
done

# Registry: a virtual desktop (without a window manager, dialogs would have
# no caption and every close would stall), Japanese font names mapped to the
# IPA fonts, and no crash dialog that would block a test run. The file must
# be UTF-16 for the Japanese names to survive regedit.
reg=$prefix/quorvantel-settings.reg
iconv -f UTF-8 -t UTF-16 >"$reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAPGothic"
"MS PGothic"="IPAPGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS Gothic"="IPAGothic"
"ＭＳ ゴシック"="IPAGothic"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
EOF
wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1 </dev/null
rm -f "$reg"

echo "$version" >"$marker"
