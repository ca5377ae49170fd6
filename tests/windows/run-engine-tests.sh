#!/usr/bin/env bash
# Runs the Windows test program under Wine (64-bit) in a fresh prefix made
# here, with three Windows Installer packages of the msi-prefix fixture
# installed for the finder's tests.
# Usage: run-engine-tests.sh TESTS.exe PREFIX-DIR LINUX-BUILD-DIR [HELPER.exe [BUILD-DIR]]
# The fixtures are the Linux build's, reached through Wine's drive Z:. With
# HELPER, the 64-bit folder-token helper runs in the same prefix too and
# must write the 64-bit folders into its token.xml, and its log into a
# temporary folder whose name lies outside the ANSI code page. BUILD-DIR is
# the 64-bit build whose programs (and those of the 32-bit build beside it)
# the tests of the program manifests read.
set -euo pipefail
program=$(realpath "$1")
prefix=$(realpath -m "$2")
linux_build=$3
helper=${4:+$(realpath "$4")}
build=${5:+$(realpath "$5")}

if [[ ! -d $linux_build/fixtures ]]; then
  echo "run-engine-tests: no fixtures in $linux_build (build and test the Linux tree first)" >&2
  exit 1
fi

# A host path as a Windows path through drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wineboot --init >/dev/null 2>&1
wineserver -w

# Windows Installer products for the finder's tests, from the Linux build's
# msi-prefix fixture, installed by Wine's msiexec.
# (The tests report what is missing when the fixture was not made.)
for name in alpha delta epsilon; do
  package=$linux_build/fixtures/msi-prefix/packages/$name.msi
  [[ -f $package ]] || continue
  wine msiexec /i "$(windows_path "$(realpath "$package")")" /qn || true
  wineserver -w
done

export FENNICK_FIXTURES=$(windows_path "$(realpath "$linux_build/fixtures")")
export FENNICK_SAMPLES=$(windows_path "$(realpath -m "$(dirname "$0")/../../../shared/samples")")
if [[ -n $build ]]; then
  export FENNICK_WINDOWS_PROGRAMS=$(windows_path "$build")
  export FENNICK_WINDOWS_X86_PROGRAMS=$(windows_path "$(realpath -m "$build/../x86")")
fi
status=0
wine "$program" --gtest_brief=1 || status=$?

if [[ -n $helper ]]; then
  token=$prefix/drive_c/token.xml
  wine "$helper" -o 'C:\token.xml' || true
  for expected in '>C:\Program Files<' '>C:\Program Files\Common Files<' '>C:\windows\system32<'; do
    if ! grep -qiF "$expected" "$token" 2>/dev/null; then
      echo "FAIL: the helper's token.xml lacks $expected"
      cat "$token" 2>/dev/null || echo "(no token.xml)"
      status=1
    fi
  done
  if grep -qF '(x86)' "$token" 2>/dev/null; then
    echo "FAIL: the 64-bit helper wrote a 32-bit folder"
    status=1
  fi
  # A user's temporary folder named outside the ANSI code page still gets
  # the helper's log (the environment of Wine's programs comes from the
  # registry).
  temp_name=$'\xe6\xb8\xa9\xe5\xba\xa6 \xce\xa9' # U+6E29 U+5EA6 U+03A9 in UTF-8
  mkdir -p "$prefix/drive_c/$temp_name"
  for variable in TEMP TMP; do
    # Wine reads its command line in the locale's character set.
    LC_ALL=C.UTF-8 wine reg add 'HKCU\Environment' /v "$variable" /d "C:\\$temp_name" /f \
      >/dev/null 2>&1
  done
  wineserver -w
  wine "$helper" 'C:\token-2.xml' || true
  if [[ ! -s $prefix/drive_c/$temp_name/fennick-tg.log ]]; then
    echo "FAIL: no fennick-tg.log in the temporary folder C:\\$temp_name"
    status=1
  fi
fi
wineserver -k || true
exit $status
