#!/usr/bin/env bash
# The 64-bit package, dist/fennick-windows-x64.zip, as a user of 64-bit
# Windows unpacks it: the window, both command-line tools and the README,
# each program a 64-bit one of its kind, and the tools from it run under
# wine64 in a prefix made here.
# Usage: package.sh ZIP WORK-DIR
set -euo pipefail
zip=$(realpath -m "$1")
work=$(realpath -m "$2")
if [[ ! -f $zip ]]; then
  echo "FAIL: no $zip (tools/build-windows packs it)"
  exit 1
fi
rm -rf "$work"
mkdir -p "$work/unpacked" "$work/prefix"
unzip -q "$zip" -d "$work/unpacked"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

listing=$(cd "$work/unpacked" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort | tr '\n' ' ')
[[ $listing == "README.txt fennick-scan.exe fennick-verify.exe orvia-fennick.exe " ]] ||
  fail "the package holds $listing"
for program in fennick-scan fennick-verify orvia-fennick; do
  kind=console
  [[ $program == orvia-fennick ]] && kind=GUI
  description=$(file -b "$work/unpacked/$program.exe" || true)
  [[ $description == "PE32+ executable ($kind) x86-64"* ]] || fail "$program.exe is $description"
done

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot --init >/dev/null 2>&1
wineserver -w
version=$(sed -n 's/^project(Fennick VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
for program in fennick-scan fennick-verify; do
  out=$(wine "$work/unpacked/$program.exe" --version 2>&1 | tr -d '\r' || true)
  [[ $out == "$program $version" ]] || fail "$program.exe --version: $out"
done
((failures == 0)) && echo "package: the 64-bit package holds the 64-bit programs, and they run"
exit $((failures > 0))
