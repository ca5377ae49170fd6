#!/usr/bin/env bash
# fennick-verify.exe under Wine (64-bit) against the Linux fennick-verify on the
# same files: the unsigned, tampered, non-PE, good and wrong-hash fixtures
# give the same verdicts. The fixtures' trusted roots go into the Wine
# prefix's Root store. Then what only Windows users meet: extended-length and
# relative paths, text on a console, the help of both tools and their
# error mode.
# Usage: verify-compare.sh WINDOWS-BUILD-DIR LINUX-BUILD-DIR
set -euo pipefail
windows_build=$(realpath "$1")
linux_build=$(realpath "$2")
fixtures=$linux_build/fixtures/authenticode
pe=$fixtures/pe
prefix=$windows_build/wine-verify
work=$(mktemp -d)
trap 'rm -rf "$work"; WINEPREFIX=$prefix wineserver -k 2>/dev/null || true' EXIT

rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wineboot --init >/dev/null 2>&1
wineserver -w

bash "$(dirname "$0")/add-wine-roots.sh" "$fixtures/trust/trusted"

names=(orvia-rfc3161-32.exe orvia-pkcs9-64.exe tampered-section-32.exe unsigned-64.exe not-pe.txt)
vendor=$(cat "$fixtures/pki/orvia-signer.sha1")
failures=0
# Both tools are run from the fixture folder with plain file names, so the
# paths in their output are alike.
for criteria in "--hash=" "--hash=$vendor" "--hash=0000000000000000000000000000000000000000"; do
  hash=${criteria#--hash=}
  linux=$(cd "$pe" && FENNICK_TRUSTED_CERTS=$fixtures/trust/trusted \
          "$linux_build/fennick-verify" --json --hash "$hash" "${names[@]}" || true)
  windows=$(cd "$pe" && wine "$windows_build/fennick-verify.exe" --json --hash "$hash" \
            "${names[@]}" 2>/dev/null | tr -d '\r' || true)
  # Verdicts: each file's result and trust status.
  verdicts() { grep -o '"path": "[^"]*"\|"result": [0-9]*\|"trustStatus": "[^"]*"\|"affected": [a-z]*'; }
  if ! diff <(verdicts <<<"$linux") <(verdicts <<<"$windows") > "$work/diff"; then
    echo "FAIL: verdicts differ with hash '$hash':"
    cat "$work/diff"
    failures=$((failures + 1))
  fi
done

# A file name outside any single-byte ANSI code page reaches the Windows tool
# whole (its arguments come from the wide command line), and both tools find
# the vendor's signature in it.
name=$'Gr\u00fc\u00dfe \u4e2d\u6587.exe'
cp "$pe/orvia-pkcs9-64.exe" "$work/$name"
linux=$(cd "$work" && FENNICK_TRUSTED_CERTS=$fixtures/trust/trusted \
        "$linux_build/fennick-verify" --json --hash "$vendor" "$name" || true)
windows=$(cd "$work" && wine "$windows_build/fennick-verify.exe" --json --hash "$vendor" "$name" \
          2>/dev/null | tr -d '\r' || true)
if ! grep -q '"resultName": "Affected"' <<<"$linux" ||
   ! diff <(verdicts <<<"$linux") <(verdicts <<<"$windows") > "$work/diff"; then
  echo "FAIL: the non-ASCII file name: Linux $linux, Windows $windows"
  cat "$work/diff"
  failures=$((failures + 1))
fi
# Signed archives: RSA blocks of each form and digest, tampered copies, and
# blocks over signed attributes. Wine's message verification imports RSA
# keys only, so the DSA and ECDSA archives are left out here (the engine
# tests check them wherever the platform verifies them).
jar=$linux_build/fixtures/jar
archives=(sha-digest.jar sha1-digest.jar rsa-sha256-block.jar signed-attributes-sha256.jar
          signed-attributes-sha384.jar tampered-first.jar unsigned.jar empty-member.jar)
for digest in 1 256 384 512; do
  archives+=(jarsigner-rsa-sha$digest.jar tampered-jarsigner-rsa-sha$digest.jar)
done
echo "skipped the DSA and ECDSA archives: Wine's message verification imports RSA keys only"
linux=$(cd "$jar" && "$linux_build/fennick-verify" --json --type jar --hash "$vendor" "${archives[@]}" || true)
windows=$(cd "$jar" && wine "$windows_build/fennick-verify.exe" --json --type jar --hash "$vendor" \
          "${archives[@]}" 2>/dev/null | tr -d '\r' || true)
if ! grep -q '"resultName": "Affected"' <<<"$linux" ||
   ! diff <(verdicts <<<"$linux") <(verdicts <<<"$windows") > "$work/diff"; then
  echo "FAIL: archive verdicts differ:"
  cat "$work/diff"
  failures=$((failures + 1))
fi

# Paths as Windows users type them: an extended-length path and a relative
# one with "..", made absolute by the system's own rules, reach the file.
windows_pe='Z:'${pe//\//\\}
for given in "\\\\?\\$windows_pe\\orvia-pkcs9-64.exe" '..\pe\orvia-pkcs9-64.exe'; do
  windows=$(cd "$pe" && wine "$windows_build/fennick-verify.exe" --json --hash "$vendor" "$given" \
            2>/dev/null | tr -d '\r' || true)
  if ! grep -q '"resultName": "Affected"' <<<"$windows"; then
    echo "FAIL: fennick-verify.exe $given: $windows"
    failures=$((failures + 1))
  fi
done

# On a console the result lines show every character of the file's name,
# whatever the console's code page (437 in Wine's console on a terminal).
# (The terminal's escape sequences are dropped from what it shows.)
console=$(cd "$work" && LC_ALL=C.UTF-8 script -qec \
          "wine '$windows_build/fennick-verify.exe' --hash $vendor '$name'" /dev/null \
          </dev/null 2>/dev/null | sed $'s/\x1b\\[[0-9;?]*[A-Za-z]//g' | tr -d '\r' || true)
if [[ $console != *"$name"*Affected* ]]; then
  echo "FAIL: the console shows the name as: $console"
  failures=$((failures + 1))
fi

# --prefix is refused on Windows, so neither tool offers it there.
for tool in fennick-verify fennick-scan; do
  help=$(wine "$windows_build/$tool.exe" --help 2>&1 | tr -d '\r' || true)
  if [[ $help != usage:* || $help == *--prefix* ]]; then
    echo "FAIL: $tool.exe --help: $help"
    failures=$((failures + 1))
  fi
done

# Both tools keep the system's critical-error box away (a drive without its
# medium) from the start: the call is seen in Wine's trace of the program.
wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d 'kernel32.SetErrorMode;kernelbase.SetErrorMode' /f \
  >/dev/null 2>&1
wineserver -w
for tool in fennick-verify fennick-scan; do
  trace=$(WINEDEBUG=+relay wine "$windows_build/$tool.exe" --version 2>&1 >/dev/null | tr -d '\r' || true)
  if ! grep -qE 'Call (KERNEL32|KERNELBASE)\.SetErrorMode\(0*[0-9a-f]*[13579bdf]\)' <<<"$trace"; then
    echo "FAIL: $tool.exe does not set SEM_FAILCRITICALERRORS"
    grep -i 'SetErrorMode' <<<"$trace" || true
    failures=$((failures + 1))
  fi
done


# A folder walked with -r: the same files in the same order, with the same
# verdicts, on both; a link out of the tree (a Linux symbolic link, which
# Wine shows as a link) is left out on both. Paths are compared by file name,
# as the separators differ.
mkdir -p "$work/tree/sub"
cp "$pe/orvia-rfc3161-32.exe" "$pe/unsigned-64.exe" "$work/tree/"
cp "$pe/tampered-section-32.exe" "$pe/orvia-pkcs9-64.exe" "$work/tree/sub/"
echo "no signature" > "$work/tree/readme.txt"
mkdir -p "$work/outside"
cp "$pe/orvia-rfc3161-32.exe" "$work/outside/far.exe"
ln -s "$work/outside" "$work/tree/out"
names() { grep -o '"path": "[^"]*"\|"result": [0-9]*\|"trustStatus": "[^"]*"' | sed 's/.*[\\/]//'; }
linux=$(cd "$work" && FENNICK_TRUSTED_CERTS=$fixtures/trust/trusted \
        "$linux_build/fennick-verify" --json -r --hash "$vendor" tree 2>/dev/null || true)
windows=$(cd "$work" && wine "$windows_build/fennick-verify.exe" --json -r --hash "$vendor" tree \
          2>/dev/null | tr -d '\r' || true)
if [[ $(grep -c '"path"' <<<"$linux") != 4 ]] ||
   ! diff <(names <<<"$linux") <(names <<<"$windows") > "$work/diff"; then
  echo "FAIL: the folder walk: Linux $linux, Windows $windows"
  cat "$work/diff"
  failures=$((failures + 1))
fi
((failures == 0)) && echo "verify-compare: Windows and Linux verdicts agree"
exit $((failures > 0))
