#!/usr/bin/env bash
# fennick-verify with ScanConfig files: the criteria and the validator for
# each file type come from the file (or from the embedded ScanConfig when no
# criteria are given), checked against the Authenticode and archive fixtures.
set -euo pipefail
source "$(dirname "$0")/../requirements.sh"
requires zip

binary_dir=${FENNICK_BINARY_DIR:?}
fixtures=${FENNICK_FIXTURES:?}
verify=$binary_dir/fennick-verify
export FENNICK_TRUSTED_CERTS=$fixtures/authenticode/trust/trusted
export FENNICK_DISALLOWED_CERTS=$fixtures/authenticode/trust/disallowed
export FENNICK_CRLS=$fixtures/authenticode/trust/crls

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pe=$fixtures/authenticode/pe
cp "$pe/orvia-rfc3161-32.exe" "$pe/orvia-pkcs9-64.exe" "$pe/orvia-build-32.exe" "$work/"
cp "$fixtures/jar/vendor-signed.jar" "$work/vendor.zip"
echo "no signature here" > "$work/readme.txt"
files=("$work/orvia-rfc3161-32.exe" "$work/orvia-pkcs9-64.exe" "$work/orvia-build-32.exe"
       "$work/vendor.zip" "$work/readme.txt")
vendor_hash=$(cat "$fixtures/authenticode/pki/orvia-signer.sha1")
build_hash=$(cat "$fixtures/authenticode/pki/orvia-build.sha1")

failures=0
output=
status=0
# run ARGS...: runs the tool with --json, keeping its output and status.
run() {
  status=0
  output=$("$verify" --json "$@" 2>"$work/stderr") || status=$?
}
# expect NAME VALIDATOR RESULT: the line of file NAME names that validator
# ("PE", "JAR" or null) and result (a number or null).
expect() {
  local line validator
  line=$(grep -F "\"path\": \"$work/$1\"" <<<"$output" || true)
  if [[ $2 == null ]]; then validator=null; else validator="\"$2\""; fi
  if [[ $line != *"\"validator\": $validator, \"result\": $3,"* ]]; then
    echo "FAIL ($label): $1: expected validator $2 and result $3, got: $line"
    failures=$((failures + 1))
  fi
}
expect_status() {
  if [[ $status != "$1" ]]; then
    echo "FAIL ($label): exit status $status, expected $1"; cat "$work/stderr"
    failures=$((failures + 1))
  fi
}

# The signer of the other vendor certificate, upper-case extensions only, no
# archive validator: files of other types get no validator.
label="hash of another signer"
cat > "$work/other-signer.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<ScanConfig>
  <Validators>
    <Validator>
      <Type>PE</Type>
      <FileTypes><Extension>EXE</Extension></FileTypes>
      <CertificateHash>${build_hash,,}</CertificateHash>
      <CompanyName>orvia systems</CompanyName>
    </Validator>
  </Validators>
</ScanConfig>
XML
run --config "$work/other-signer.xml" "${files[@]}"
expect_status 1
expect orvia-rfc3161-32.exe PE 0
expect orvia-pkcs9-64.exe PE 0
expect orvia-build-32.exe PE 6
expect vendor.zip null null
expect readme.txt null null

# The vendor signer from 2023 on; archives of another company only.
label="start date and company"
cat > "$work/dates.xml" <<XML
<ScanConfig>
  <Validators>
    <Validator>
      <Type>JAR</Type>
      <FileTypes><Extension>.zip</Extension></FileTypes>
      <CertificateHash>$vendor_hash</CertificateHash>
      <CompanyName>Some Other Company</CompanyName>
    </Validator>
    <Validator>
      <Type>PE</Type>
      <FileTypes><Extension>exe</Extension><Extension>txt</Extension></FileTypes>
      <CertificateHash>$vendor_hash</CertificateHash>
      <StartDate>2023-01-01</StartDate>
    </Validator>
  </Validators>
</ScanConfig>
XML
run --config "$work/dates.xml" "${files[@]}"
expect_status 1
expect orvia-rfc3161-32.exe PE 0
expect orvia-pkcs9-64.exe PE 6
expect orvia-build-32.exe PE 0
expect vendor.zip JAR 0
expect readme.txt PE 65535

# Up to the end of 2022, and the archive validator for the vendor itself.
label="end date"
sed -e 's|<StartDate>2023-01-01</StartDate>|<EndDate>2022-12-31 23:59:59.999</EndDate>|' \
    -e 's|Some Other Company|Orvia Systems|' "$work/dates.xml" > "$work/end.xml"
run --config "$work/end.xml" "${files[@]}"
expect_status 1
expect orvia-rfc3161-32.exe PE 6
expect orvia-pkcs9-64.exe PE 0
expect vendor.zip JAR 6

# Nothing affected: status 0.
label="nothing affected"
run --config "$work/end.xml" "$work/orvia-build-32.exe" "$work/readme.txt"
expect_status 0

# No criteria at all: the embedded ScanConfig (vendor signer, files signed
# since 2022-03-01, archives as zip).
label="embedded"
run "${files[@]}"
expect_status 1
expect orvia-rfc3161-32.exe PE 6
expect orvia-pkcs9-64.exe PE 6
expect orvia-build-32.exe PE 0
expect vendor.zip JAR 6
expect readme.txt null null

# A file without validators, a missing file, and criteria next to --config.
label="unusable configurations"
echo "<ScanConfig><Validators/></ScanConfig>" > "$work/empty.xml"
run --config "$work/empty.xml" "${files[@]}"
expect_status 2
run --config "$work/missing.xml" "${files[@]}"
expect_status 2
run --config "$work/end.xml" --hash "$vendor_hash" "${files[@]}"
expect_status 2

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
