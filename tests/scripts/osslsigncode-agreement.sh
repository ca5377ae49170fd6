#!/usr/bin/env bash
# osslsigncode and fennick-verify judge every PE fixture alike: signature
# valid, signature broken (digest mismatch or signer signature), no signature,
# or intact but not trusted. Where the trust rules make them differ, the
# difference is listed below with its reason; an unlisted difference, or a
# listed one that no longer occurs, fails the test.
set -euo pipefail
source "$(dirname "$0")/../requirements.sh"
requires osslsigncode

fixtures=${FENNICK_FIXTURES:?}/authenticode
verify=${FENNICK_BINARY_DIR:?}/fennick-verify
export FENNICK_TRUSTED_CERTS=$fixtures/trust/trusted
export FENNICK_DISALLOWED_CERTS=$fixtures/trust/disallowed
export FENNICK_CRLS=$fixtures/trust/crls

# file -> "ours theirs: reason"
declare -A expected_difference=(
  [appended-32.exe]="broken none: the digest covers bytes behind the certificate table, as the platform's does; osslsigncode ignores a signature that does not end the file"
  [appended-large-32.exe]="broken none: the digest covers bytes behind the certificate table, as the platform's does; osslsigncode ignores a signature that does not end the file"
  [anchored-64.exe]="valid untrusted: every certificate of Root anchors a chain, a trusted intermediate too; osslsigncode needs a self-signed anchor"
  [two-entries-32.exe]="valid none: a certificate table of two WIN_CERTIFICATE entries (as signed UEFI images carry) is read as the platform reads it, the first entry being the signature; osslsigncode calls such a table corrupted"
  [restricted-ca-64.exe]="untrusted valid: the extended key usages of the whole chain bind the signer, and its CA allows server authentication only; osslsigncode checks the signer's usages alone"
  [distrusted-64.exe]="untrusted valid: the signer is in the Disallowed store, which osslsigncode does not have"
  [revoked-32.exe]="untrusted valid: the signer is revoked by a CRL of the local store; osslsigncode checks CRLs only when given -CRLfile, and then wants one for every issuer"
  [bad-rfc3161-32.exe]="untrusted valid: a time-stamp that does not verify fails the check; osslsigncode then judges the signature as of now"
  [bad-pkcs9-64.exe]="untrusted valid: a time-stamp that does not verify fails the check; osslsigncode then judges the signature as of now"
  [bad-pkcs9-digest-64.exe]="untrusted valid: a time-stamp that does not verify fails the check; osslsigncode then judges the signature as of now"
  [untrusted-tsa-32.exe]="untrusted valid: a time-stamping authority without a trusted chain fails the check; osslsigncode then judges the signature as of now"
  [bare-wrong-digest-pkcs9-64.exe]="untrusted valid: a time-stamp that does not verify fails the check (a countersignature over the bare digest of another algorithm than its own is refused); osslsigncode then judges the signature as of now"
  [forged-md5-pkcs9-64.exe]="untrusted valid: a time-stamp that does not verify fails the check (an MD5 countersignature with an empty message digest and a signature of arbitrary bytes); osslsigncode then judges the signature as of now"
  [old-root-64.exe]="valid untrusted: a self-signed root without a basic-constraints extension is a CA, as the platform takes the oldest roots of its list; OpenSSL's verifier, which osslsigncode uses, refuses it as an issuer"
)

ours() { # trust status -> verdict
  case $1 in
  0x00000000) echo valid ;;
  0x80096010) echo broken ;;
  0x800B0100 | 0x800B0003) echo none ;;
  *) echo untrusted ;;
  esac
}

theirs() { # file -> verdict of osslsigncode verify
  local output
  output=$(osslsigncode verify -CAfile "$fixtures/trust/bundle.pem" \
    -TSA-CAfile "$fixtures/trust/bundle.pem" -in "$1" 2>&1 || true)
  if grep -q "MISMATCH" <<<"$output" || grep -q "PKCS7_signatureVerify" <<<"$output"; then
    echo broken
  elif grep -qE "No signature found|Unable to extract existing signature|Initialization error" <<<"$output"; then
    echo none
  elif grep -q "^Succeeded" <<<"$output"; then
    echo valid
  else
    echo untrusted
  fi
}

failures=0
checked=0
declare -A seen=()
while IFS=$'\t' read -r path status; do
  name=$(basename "$path")
  mine=$(ours "$status")
  other=$(theirs "$path")
  checked=$((checked + 1))
  if [[ $mine == "$other" ]]; then
    if [[ -n ${expected_difference[$name]:-} ]]; then
      echo "FAIL $name: listed as a difference, but both say $mine"
      failures=$((failures + 1))
    fi
    continue
  fi
  seen[$name]=1
  listed=${expected_difference[$name]:-}
  if [[ ${listed%%:*} != "$mine $other" ]]; then
    echo "FAIL $name: fennick-verify says $mine, osslsigncode says $other"
    failures=$((failures + 1))
  else
    echo "known difference $name: ${listed#*: }"
  fi
done < <("$verify" --json --type pe "$fixtures"/pe/* |
  sed -n 's/^.*"path": "\([^"]*\)".*"trustStatus": "\(0x[0-9A-F]*\)".*$/\1\t\2/p')

for name in "${!expected_difference[@]}"; do
  [[ -e $fixtures/pe/$name ]] || { echo "FAIL $name: listed, but no such fixture"; failures=$((failures + 1)); }
done
echo "$checked fixtures compared, ${#seen[@]} known differences, $failures failures"
((checked > 30 && failures == 0))
