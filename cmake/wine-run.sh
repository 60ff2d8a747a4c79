#!/bin/sh
# Runs one Windows program under wine64, as ctest's emulator for the cross-built tests.
#
# The prefix is made once (under a lock, since ctest may run tests side by side) and its server
# kept warm for a minute after the last program. Wine's services start with the first program
# of a server and inherit its output, so the program writes to files that are copied out once
# it has ended: a pipe held open by a service would keep ctest waiting.
set -u
: "${TESSALY_WINEPREFIX:?the Wine prefix for the tests}"
export WINEPREFIX="$TESSALY_WINEPREFIX"
export WINELOADER="${TESSALY_WINE64:-/usr/lib/wine/wine64}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers: they would ask to download.
export WINEDLLOVERRIDES="mscoree,mshtml=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
wineserver="$(dirname "$WINELOADER")/wineserver"

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wineserver" -p60 >/dev/null 2>&1
    "$WINELOADER" wineboot -i >"$WINEPREFIX.boot.log" 2>&1
  fi
  # This Wine build leaves the prefix without its own fonts (fonts-wine), so "MS Sans Serif"
  # would fall back to a wider system font and the dialogs' base units with it.
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  if [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] && [ ! -e "$fonts/sserife.fon" ]; then
    cp -n /usr/share/wine/fonts/* "$fonts/"
  fi
) 9>"$WINEPREFIX.lock"
"$wineserver" -p60 >/dev/null 2>&1

out="$(mktemp)"
err="$(mktemp)"
"$WINELOADER" "$@" >"$out" 2>"$err" </dev/null
rc=$?
# The Windows run time writes CR LF; ctest and gtest discovery read lines.
tr -d '\r' <"$out"
tr -d '\r' <"$err" >&2
rm -f "$out" "$err"
exit $rc
