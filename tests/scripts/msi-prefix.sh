#!/usr/bin/env bash
# fennick-scan on a prefix made by wineboot with packages installed by Wine's
# msiexec: every installed product is found (the removed one is not), the
# scan ends within seconds although one product folder holds a named pipe
# and one product has 5,000 components, and the prefix is left exactly as
# it was. fennick-verify on the pipe gives
# the unreadable-file result at once.
set -euo pipefail
source "$(dirname "$0")/../requirements.sh"
fixture=${FENNICK_FIXTURES:?}/msi-prefix
prefix=$fixture/prefix
[[ -f $prefix/system.reg ]] || skip_or_fail "the msi-prefix fixture was not made (it needs wine and wixl)"
scan=${FENNICK_BINARY_DIR:?}/fennick-scan
verify=$FENNICK_BINARY_DIR/fennick-verify
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work
unset LANGUAGE LC_ALL LC_MESSAGES

product() {
  printf '    <MSIProduct>\n      <DisplayName></DisplayName>\n'
  printf '      <ProductCode>{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E0%s}</ProductCode>\n' "$1"
  printf '      <Folders></Folders>\n    </MSIProduct>\n'
}
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<ScanConfig>\n  <Validators>\n'
  printf '    <Validator>\n      <Type>PE</Type>\n'
  printf '      <FileTypes><Extension>dll</Extension></FileTypes>\n'
  printf '      <CertificateHash>BBCA7C15C27E00122C51451E9EF7B6A3EB56178D</CertificateHash>\n'
  printf '      <StartDate></StartDate>\n      <EndDate></EndDate>\n'
  printf '      <CompanyName>Orvia Systems</CompanyName>\n    </Validator>\n  </Validators>\n'
  printf '  <Runtimes></Runtimes>\n  <Products>\n'
  for n in 1 2 3 4 5 6 7 8 9; do product "$n"; done
  printf '  </Products>\n</ScanConfig>\n'
} > "$work/config.xml"

snapshot() { (cd "$1" && find . -printf '%p %y %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort); }
snapshot "$prefix" > "$work/before"

status=0
start=$(date +%s%N)
timeout 30 "$scan" --prefix "$prefix" --config "$work/config.xml" --json > "$work/out.json" || status=$?
end=$(date +%s%N)
[[ $status == 0 ]] || { echo "fennick-scan: exit status $status, expected 0"; exit 1; }
echo "scan of the msiexec prefix: $(( (end - start) / 1000000 )) ms"
for name in Alpha Beta Gamma Delta Epsilon Eta Theta Iota; do
  grep -qF "\"name\": \"Orvia $name\"" "$work/out.json" || { echo "Orvia $name not found"; exit 1; }
done
! grep -qF 'Orvia Zeta' "$work/out.json" || { echo "the removed product was found"; exit 1; }

snapshot "$prefix" > "$work/after"
diff -u "$work/before" "$work/after"

programs="$prefix/drive_c/Program Files (x86)"
status=0
output=$(timeout 10 "$verify" --json --hash "" "$programs/Orvia Alpha/pipe.dll") || status=$?
[[ $status == 0 ]] || { echo "fennick-verify on a pipe: exit status $status"; exit 1; }
grep -qF '"result": 65535,' <<<"$output" || { echo "pipe: $output"; exit 1; }
status=0
output=$(timeout 10 "$verify" --json --type jar --hash "" "$programs/Orvia Alpha/pipe.dll") || status=$?
[[ $status == 0 ]] || { echo "fennick-verify --type jar on a pipe: exit status $status"; exit 1; }
grep -qF '"result": 1,' <<<"$output" || { echo "pipe as archive: $output"; exit 1; }
echo "msi-prefix: all checks passed"
