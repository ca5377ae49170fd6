#!/usr/bin/env bash
# Puts every certificate (PEM or DER) of the given files or folders into the
# Root store of the Wine prefix $WINEPREFIX, the way the registry keeps it:
# HKLM\Software\Microsoft\SystemCertificates\Root\Certificates\<SHA-1
# thumbprint>, value "Blob" holding a serialized property list whose
# element 32 (the certificate property) is the DER encoding.
# Usage: add-wine-roots.sh FILE-OR-FOLDER...
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
reg=$work/roots.reg
printf 'REGEDIT4\r\n\r\n' > "$reg"
for item in "$@"; do
  for cert in $( [[ -d $item ]] && find "$item" -maxdepth 1 -type f | sort || echo "$item"); do
    der=$work/cert.der
    openssl x509 -in "$cert" -outform DER -out "$der" 2>/dev/null ||
      openssl x509 -inform DER -in "$cert" -outform DER -out "$der" 2>/dev/null || continue
    thumb=$(openssl x509 -inform DER -in "$der" -noout -fingerprint -sha1 | sed 's/.*=//; s/://g')
    length=$(printf '%08x' "$(stat -c %s "$der")" | sed 's/\(..\)\(..\)\(..\)\(..\)/\4\3\2\1/')
    hex=$( (printf '2000000001000000%s' "$length" | xxd -r -p; cat "$der") |
           xxd -p | tr -d '\n' | sed 's/../&,/g; s/,$//')
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\%s]\r\n' \
      "$thumb" >> "$reg"
    printf '"Blob"=hex:%s\r\n\r\n' "$hex" >> "$reg"
  done
done
cp "$reg" "$WINEPREFIX/drive_c/fennick-roots.reg"
wine regedit /S 'C:\fennick-roots.reg'
wineserver -w
rm -f "$WINEPREFIX/drive_c/fennick-roots.reg"
