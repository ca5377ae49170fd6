#!/usr/bin/env bash
# fennick-verify from the outside: JSON and text output, the criteria flags,
# archives, exit statuses and usage errors.
set -euo pipefail

fixtures=${FENNICK_FIXTURES:?}/authenticode
verify=${FENNICK_BINARY_DIR:?}/fennick-verify
export FENNICK_TRUSTED_CERTS=$fixtures/trust/trusted
export FENNICK_DISALLOWED_CERTS=$fixtures/trust/disallowed
export FENNICK_CRLS=$fixtures/trust/crls
pe=$fixtures/pe
vendor=$(cat "$fixtures/pki/orvia-signer.sha1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect_object OUTPUT PATH TEXT...: the object of PATH holds every TEXT.
expect_object() {
  local output=$1 path=$2 line
  shift 2
  line=$(grep -F "{\"path\": \"$path\"," <<<"$output" || true)
  [[ -n $line ]] || { fail "no object for $path"; return; }
  for text in "$@"; do
    grep -qF -- "$text" <<<"$line" || fail "$path: no '$text' in $line"
  done
}

# run EXPECTED-EXIT ARGS...: output of fennick-verify, checking its exit status.
run() {
  local expected=$1 status=0
  shift
  output=$("$verify" "$@" 2> "$work/stderr") || status=$?
  [[ $status == "$expected" ]] || fail "fennick-verify $*: exit $status, expected $expected"
}

# Without criteria options the embedded configuration decides; an empty
# --hash gives the validators empty criteria instead, so nothing is affected.
none=(--hash "")

# Results and statuses without criteria; objects come in argument order.
run 0 --json "${none[@]}" "$pe/orvia-rfc3161-32.exe" "$pe/tampered-section-32.exe" "$pe/unsigned-64.exe" \
  "$pe/expired-32.exe" "$pe/wrongusage-32.exe" "$pe/distrusted-64.exe" "$pe/revoked-32.exe" \
  "$pe/not-pe.txt" "$pe/missing.exe" "$pe/orvia-pkcs9-64.exe"
expect_object "$output" "$pe/orvia-rfc3161-32.exe" '"validator": "PE"' '"result": 0,' \
  '"resultName": "Verified"' '"trustStatus": "0x00000000"' \
  '"subjectNames": "Orvia Systems Code Signing{|}Orvia Systems Code Signing CA{|}Orvia Systems Root CA"' \
  "\"thumbprint\": \"$vendor\"" '"signingTime": "2022-06-01T00:00:00.000Z"'
expect_object "$output" "$pe/tampered-section-32.exe" '"result": 3,' '"trustStatus": "0x80096010"' \
  '"subjectNames": ""' '"signingTime": null'
expect_object "$output" "$pe/unsigned-64.exe" '"result": 2,' '"resultName": "NoSignature"' '"trustStatus": "0x800B0100"'
expect_object "$output" "$pe/expired-32.exe" '"result": 65535,' '"resultName": "OtherTrustFailure"' '"trustStatus": "0x800B0101"'
expect_object "$output" "$pe/wrongusage-32.exe" '"result": 65535,' '"trustStatus": "0x800B0110"'
expect_object "$output" "$pe/distrusted-64.exe" '"result": 5,' '"resultName": "ExplicitlyDistrusted"' '"trustStatus": "0x800B0111"'
expect_object "$output" "$pe/revoked-32.exe" '"result": 4,' '"resultName": "Revoked"' '"trustStatus": "0x800B010C"'
expect_object "$output" "$pe/not-pe.txt" '"result": 65535,' '"trustStatus": "0x800B0003"'
expect_object "$output" "$pe/missing.exe" '"result": 1,' '"resultName": "FileNotFound"' '"trustStatus": null'
expect_object "$output" "$pe/orvia-pkcs9-64.exe" '"signingTime": "2023-03-01T00:00:00.000Z"'
order=$(grep -o '"path": "[^"]*"' <<<"$output" | head -2 | tr '\n' ' ')
[[ $order == "\"path\": \"$pe/orvia-rfc3161-32.exe\" \"path\": \"$pe/tampered-section-32.exe\" " ]] ||
  fail "objects out of argument order: $order"
[[ $(head -c1 <<<"$output") == "[" && $(tail -n1 <<<"$output") == "]" ]] || fail "not one JSON array"

# Criteria: a matching signer is affected, revoked and distrusted ones too.
run 1 --json --hash "$vendor" --company "Orvia Systems" --start 2022-01-01 \
  "$pe/orvia-rfc3161-32.exe" "$pe/orvia-sha256-32.exe" "$pe/other-64.exe"
expect_object "$output" "$pe/orvia-rfc3161-32.exe" '"result": 6,' '"resultName": "Affected"'
expect_object "$output" "$pe/orvia-sha256-32.exe" '"result": 6,'
expect_object "$output" "$pe/other-64.exe" '"result": 0,'
run 1 --json --hash "$(cat "$fixtures/pki/revoked.sha1")" --company "orvia systems" "$pe/revoked-32.exe"
expect_object "$output" "$pe/revoked-32.exe" '"result": 6,' '"trustStatus": "0x800B010C"'
run 1 --json --hash "$(cat "$fixtures/pki/distrusted.sha1")" "$pe/distrusted-64.exe"
expect_object "$output" "$pe/distrusted-64.exe" '"result": 6,' '"trustStatus": "0x800B0111"'
# A time-stamp before the start date is not affected; bounds are inclusive.
run 0 --json --hash "$vendor" --company "Orvia Systems" --start "2022-06-01 00:00:00.001" \
  "$pe/orvia-rfc3161-32.exe"
expect_object "$output" "$pe/orvia-rfc3161-32.exe" '"result": 0,'
run 1 --json --hash "$vendor" --start 2022-06-01 --end "2022-06-01 00:00:00.000" "$pe/orvia-rfc3161-32.exe"
expect_object "$output" "$pe/orvia-rfc3161-32.exe" '"result": 6,'
run 0 --hash "$vendor" --company "Another Company" "$pe/orvia-sha256-32.exe"

# Archives: by extension or by --type; no trust status, the signer is the
# certificate that verified the block.
cp "$pe/unsigned-32.exe" "$work/Tool.JAR"
archive=${FENNICK_FIXTURES}/jar/vendor-signed.jar
run 0 --json "${none[@]}" "$work/Tool.JAR" "$pe/orvia-sha1-64.exe" "$archive"
expect_object "$output" "$work/Tool.JAR" '"validator": "JAR"' '"result": 1,' \
  '"resultName": "FileNotFound"' '"trustStatus": null' '"subjectNames": ""'
expect_object "$output" "$archive" '"validator": "JAR"' '"result": 0,' '"trustStatus": null' \
  '"subjectNames": "Orvia Systems Code Signing"' "\"thumbprint\": \"$vendor\"" '"signingTime": null'
run 1 --json --hash "$vendor" "$archive"
expect_object "$output" "$archive" '"result": 6,' '"resultName": "Affected"'
# An archive the vendor signed as signing tools sign today (SHA-256, signed
# attributes), checked by extension with the built-in configuration as the
# scan checks it: affected.
cp "${FENNICK_FIXTURES}/jar/jarsigner-rsa-sha256.jar" "$work/Today.zip"
run 1 --json "$work/Today.zip"
expect_object "$output" "$work/Today.zip" '"validator": "JAR"' '"result": 6,' \
  '"subjectNames": "Orvia Systems Code Signing"' "\"thumbprint\": \"$vendor\""
run 0 --json --type jar "$pe/orvia-sha1-64.exe"
expect_object "$output" "$pe/orvia-sha1-64.exe" '"validator": "JAR"' '"result": 1,'
run 0 --json --type pe "$work/Tool.JAR"
expect_object "$output" "$work/Tool.JAR" '"validator": "PE"' '"result": 2,'

# Paths are given back as given, escaped for JSON; relative ones work.
cp "$pe/orvia-sha256-32.exe" "$work/quote\"Grüße.exe"
run 0 --json "${none[@]}" "$work/quote\"Grüße.exe" "$work/back\\slash.exe"
grep -qF "\"path\": \"$work/quote\\\"Grüße.exe\", \"validator\": \"PE\", \"result\": 0," <<<"$output" ||
  fail "path not escaped: $output"
grep -qF "\"path\": \"$work/back\\\\slash.exe\", \"validator\": \"PE\", \"result\": 1," <<<"$output" ||
  fail "path not escaped: $output"
(cd "$pe" && "$verify" --json "${none[@]}" orvia-sha256-32.exe) | grep -qF '"path": "orvia-sha256-32.exe", "validator": "PE", "result": 0,' ||
  fail "relative path"

# Text: one tab-separated line per file.
run 0 "${none[@]}" "$pe/orvia-rfc3161-32.exe" "$pe/unsigned-32.exe"
expected=$(printf '%s\tVerified\tOrvia Systems Code Signing{|}Orvia Systems Code Signing CA{|}Orvia Systems Root CA\t%s\t2022-06-01T00:00:00.000Z' \
  "$pe/orvia-rfc3161-32.exe" "$vendor")
[[ $(sed -n 1p <<<"$output") == "$expected" ]] || fail "text line: $(sed -n 1p <<<"$output")"
[[ $(sed -n 2p <<<"$output") == "$(printf '%s\tNoSignature (0x800B0100)\t-\t-\t-' "$pe/unsigned-32.exe")" ]] ||
  fail "text line: $(sed -n 2p <<<"$output")"

# Usage errors.
run 2
run 2 --json
run 2 --type exe "$pe/unsigned-32.exe"
run 2 --start 2011-02-31 "$pe/unsigned-32.exe"
run 2 --start "2011-03-15 13:45:00" "$pe/unsigned-32.exe"
run 2 --frobnicate "$pe/unsigned-32.exe"
run 2 "$pe/unsigned-32.exe" --hash
grep -q usage "$work/stderr" || fail "no usage text"

((failures == 0)) && echo "fennick-verify: all checks passed"
((failures == 0))
