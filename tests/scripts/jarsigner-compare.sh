#!/usr/bin/env bash
# Compares the verdict of `fennick-verify --json --type jar` with that of
# `jarsigner -verify` on every small fixture archive (among them archives
# jarsigner signed under each key and digest algorithm, and tampered copies). Verdicts: verified
# (0 or 6), unsigned (2), broken (3), unreadable (1). Each archive on which
# the two are meant to differ is listed below with both verdicts and the
# reason; a listed difference that no longer holds fails too, so the list
# stays true.
set -euo pipefail
source "$(dirname "$0")/../requirements.sh"
requires jarsigner

fixtures=${FENNICK_FIXTURES:?}/jar
verify=${FENNICK_BINARY_DIR:?}/fennick-verify
work=$(mktemp -d)

source "$(dirname "$0")/../corpus/jar-verdicts.sh"
trap 'rm -rf "$work" "$jar_verdicts_security"' EXIT

declare -A differences=(
  [ec-certificate-first.jar]="broken verified: an MD5 signature is verified only in the oldest form, certificates tried in stored order until a key that is not RSA ends the search; jarsigner takes the signer the block names"
  [signed-attributes.jar]="broken verified: MD5 is verified only in the oldest form, RSA over the signature file without signed attributes; jarsigner takes MD5 over signed attributes when its disabled algorithms allow"
  [unlisted-first.jar]="broken verified: the member walk ends at the first member the manifest does not list; jarsigner verifies and warns of unsigned entries"
  [member-missing-other-twice.jar]="broken verified: every name the manifest lists needs a member of that name, and a second copy of another member does not stand in for a missing one; jarsigner does not look for listed members that are missing"
  [manifest-changed.jar]="broken verified: the whole-manifest digest must agree; jarsigner falls back to the section digests and takes the added member as unsigned"
  [sf-section-missing.jar]="broken verified: the signature file must list as many sections as the manifest has; jarsigner takes the unlisted section's member as unsigned"
  [sf-changed.jar]="broken unsigned: a block that does not verify is a bad signature here; jarsigner then treats the archive as unsigned"
  [empty-sf.jar]="unsigned verified: the first .SF member is taken, even an empty one; jarsigner pairs SIGNER.SF with SIGNER.RSA"
  [empty-member.jar]="broken verified: every listed member must yield at least one byte; jarsigner checks the digest of an empty member like any other"
  [lowercase-folder.jar]="unsigned verified: the META-INF/ folder is matched case-sensitively; jarsigner matches it in any case"
)

failures=0
compared=0
for archive in "$fixtures"/*.jar; do
  name=$(basename "$archive")
  mine=$(ours "$verify" "$archive")
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
