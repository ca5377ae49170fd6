#!/usr/bin/env bash
# Compares the verdict of `fennick-verify --json --type jar` with that of
# `jarsigner -verify` on every small fixture archive. Verdicts: verified
# (0 or 6), unsigned (2), broken (3), unreadable (1). Each archive on which
# the two are meant to differ is listed below with both verdicts and the
# reason; a listed difference that no longer holds fails too, so the list
# stays true.
set -euo pipefail

fixtures=${FENNICK_FIXTURES:?}/jar
verify=${FENNICK_BINARY_DIR:?}/fennick-verify
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# jarsigner treats MD5 and SHA-1 signatures as unsigned by default; let it
# judge them.
printf 'jdk.jar.disabledAlgorithms=\njdk.certpath.disabledAlgorithms=\n' > "$work/java.security"

declare -A differences=(
  [dsa-block.jar]="unsigned verified: only a .RSA block is read, so a DSA block is no signature"
  [ec-block.jar]="unsigned verified: only a .RSA block is read, so an EC block is no signature"
  [dsa-as-rsa.jar]="broken verified: the certificate's key must be RSA, whatever the member's extension"
  [ec-certificate-first.jar]="broken verified: certificates are tried in stored order and a key that is not RSA ends the search; jarsigner takes the signer the block names"
  [rsa-sha256-block.jar]="broken verified: only an RSA signature over the MD5 of the signature file verifies"
  [signed-attributes.jar]="broken verified: a signature over signed attributes is no signature over the signature file's MD5"
  [jarsigner-sha256.jar]="broken verified: SHA-256 blocks and SHA-256 digest attributes are not understood"
  [unlisted-first.jar]="broken verified: the member walk ends at the first member the manifest does not list; jarsigner verifies and warns of unsigned entries"
  [member-missing-other-twice.jar]="broken verified: every name the manifest lists needs a member of that name, and a second copy of another member does not stand in for a missing one; jarsigner does not look for listed members that are missing"
  [manifest-changed.jar]="broken verified: the whole-manifest digest must agree; jarsigner falls back to the section digests and takes the added member as unsigned"
  [sf-section-missing.jar]="broken verified: the signature file must list as many sections as the manifest has; jarsigner takes the unlisted section's member as unsigned"
  [sf-changed.jar]="broken unsigned: a block that does not verify is a bad signature here; jarsigner then treats the archive as unsigned"
  [empty-sf.jar]="unsigned verified: the first .SF member is taken, even an empty one; jarsigner pairs SIGNER.SF with SIGNER.RSA"
  [empty-member.jar]="broken verified: every listed member must yield at least one byte; jarsigner checks the digest of an empty member like any other"
  [lowercase-folder.jar]="unsigned verified: the META-INF/ folder is matched case-sensitively; jarsigner matches it in any case"
)

ours() { # archive
  local json result
  json=$("$verify" --json --type jar "$1" || true)
  if ! grep -q '"trustStatus": null' <<<"$json"; then
    echo "archive check reported a trust status: $json" >&2
    echo error
    return
  fi
  result=$(sed -n 's/.*"result": \([0-9]*\).*/\1/p' <<<"$json")
  case $result in
  0 | 6) echo verified ;;
  1) echo unreadable ;;
  2) echo unsigned ;;
  3) echo broken ;;
  *) echo "result-$result" ;;
  esac
}

theirs() { # archive
  local output
  output=$(jarsigner -J-Djava.security.properties="$work/java.security" -verify "$1" 2>&1 || true)
  if grep -q 'ZipException' <<<"$output"; then
    echo unreadable
  elif grep -q 'SecurityException' <<<"$output"; then
    echo broken
  elif grep -qE 'jar is unsigned|treated as unsigned' <<<"$output"; then
    echo unsigned
  elif grep -q 'jar verified' <<<"$output"; then
    echo verified
  else
    echo unknown
  fi
}

failures=0
compared=0
for archive in "$fixtures"/*.jar; do
  name=$(basename "$archive")
  mine=$(ours "$archive")
  other=$(theirs "$archive")
  compared=$((compared + 1))
  if [[ -n ${differences[$name]:-} ]]; then
    read -r expected_mine expected_other _ <<<"${differences[$name]}"
    expected_other=${expected_other%:}
    if [[ $mine != "$expected_mine" || $other != "$expected_other" ]]; then
      echo "FAIL $name: listed as $expected_mine/$expected_other, got $mine/$other"
      failures=$((failures + 1))
    else
      echo "ok   $name: $mine, jarsigner $other (${differences[$name]#*: })"
    fi
    unset "differences[$name]"
  elif [[ $mine != "$other" ]]; then
    echo "FAIL $name: $mine, jarsigner $other"
    failures=$((failures + 1))
  else
    echo "ok   $name: both $mine"
  fi
done
for name in "${!differences[@]}"; do
  echo "FAIL $name: listed difference, but no such archive"
  failures=$((failures + 1))
done
echo "$compared archives compared, $failures failures"
((failures == 0))
