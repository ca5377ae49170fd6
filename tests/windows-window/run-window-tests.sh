#!/usr/bin/env bash
# Runs the window's test program under wine64 in a fresh prefix made here,
# with a display of its own (Wine needs one for windows).
# Usage: run-window-tests.sh TESTS.exe ORVIA-FENNICK.exe PREFIX-DIR
# Debian's Wine has no HTML engine for its HTML control: the control and its
# container work, pages are not rendered.
set -euo pipefail
program=$1
window_program=$2
prefix=$3

rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree="
wineboot --init >/dev/null 2>&1
wineserver -w

# The shipped executable, as a Windows path through drive Z:.
export FENNICK_WINDOW_EXE="Z:$(realpath "$window_program" | tr / '\\')"
status=0
# wine starts 64-bit programs with wine64.
xvfb-run -a wine "$program" --gtest_brief=1 || status=$?
wineserver -k || true
exit $status
