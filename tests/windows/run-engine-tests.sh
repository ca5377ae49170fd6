#!/usr/bin/env bash
# Runs the Windows test program under wine64 in a fresh prefix made here.
# Usage: run-engine-tests.sh TESTS.exe PREFIX-DIR LINUX-BUILD-DIR
# The fixtures are the Linux build's, reached through Wine's drive Z:.
set -euo pipefail
program=$1
prefix=$2
linux_build=$3

if [[ ! -d $linux_build/fixtures ]]; then
  echo "run-engine-tests: no fixtures in $linux_build (build and test the Linux tree first)" >&2
  exit 1
fi

rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wineboot --init >/dev/null 2>&1
wineserver -w

# A host path as a Windows path through drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

export FENNICK_FIXTURES=$(windows_path "$(realpath "$linux_build/fixtures")")
export FENNICK_SAMPLES=$(windows_path "$(realpath -m "$(dirname "$0")/../../../shared/samples")")
export FENNICK_TEST_PREFIX_HOST=$prefix
export WINEPATH=
status=0
wine64 "$program" --gtest_brief=1 || status=$?
wineserver -k || true
exit $status
