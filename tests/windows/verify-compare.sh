#!/usr/bin/env bash
# fennick-verify.exe under wine64 against the Linux fennick-verify on the
# same files: the unsigned, tampered, non-PE, good and wrong-hash fixtures
# give the same verdicts. The vendor's test roots go into the Wine prefix's
# Root store as the registry keeps it (SystemCertificates\Root, one key per
# certificate named by its SHA-1 thumbprint, the certificate in a
# serialized property list under "Blob").
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

# A registry file adding every certificate of the folder to Root.
{
  printf 'REGEDIT4\r\n\r\n'
  for cert in "$fixtures"/trust/trusted/*; do
    der=$work/cert.der
    openssl x509 -in "$cert" -outform DER -out "$der" 2>/dev/null ||
      openssl x509 -inform DER -in "$cert" -outform DER -out "$der"
    thumb=$(openssl x509 -inform DER -in "$der" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
    length=$(stat -c %s "$der")
    # CERT_CERT_PROP_ID (32), a reserved 1, the length, then the encoding.
    header=$(printf '20000000 01000000 %02x%02x%02x%02x' $((length & 255)) $(((length >> 8) & 255)) \
             $(((length >> 16) & 255)) $(((length >> 24) & 255)) | tr -d ' ')
    hex=$( (printf '%s' "$header" | xxd -r -p; cat "$der") | xxd -p | tr -d '\n' | sed 's/../&,/g; s/,$//')
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n' "$thumb"
    printf '"Blob"=hex:%s\r\n\r\n' "$hex"
  done
} > "$work/roots.reg"
cp "$work/roots.reg" "$prefix/drive_c/roots.reg"
wine64 regedit /S 'C:\roots.reg' >/dev/null 2>&1
wineserver -w

names=(orvia-rfc3161-32.exe orvia-pkcs9-64.exe tampered-section-32.exe unsigned-64.exe not-pe.txt)
vendor=$(cat "$fixtures/pki/orvia-signer.sha1")
failures=0
# Both tools are run from the fixture folder with plain file names, so the
# paths in their output are alike.
for criteria in "--hash=" "--hash=$vendor" "--hash=0000000000000000000000000000000000000000"; do
  hash=${criteria#--hash=}
  linux=$(cd "$pe" && FENNICK_TRUSTED_CERTS=$fixtures/trust/trusted \
          "$linux_build/fennick-verify" --json --hash "$hash" "${names[@]}" || true)
  windows=$(cd "$pe" && wine64 "$windows_build/fennick-verify.exe" --json --hash "$hash" \
            "${names[@]}" 2>/dev/null | tr -d '\r' || true)
  # Verdicts: each file's result and trust status.
  verdicts() { grep -o '"path": "[^"]*"\|"result": [0-9]*\|"trustStatus": "[^"]*"\|"affected": [a-z]*'; }
  if ! diff <(verdicts <<<"$linux") <(verdicts <<<"$windows") > "$work/diff"; then
    echo "FAIL: verdicts differ with hash '$hash':"
    cat "$work/diff"
    failures=$((failures + 1))
  fi
done
((failures == 0)) && echo "verify-compare: Windows and Linux verdicts agree"
exit $((failures > 0))
