#!/usr/bin/env bash
# Installs the Debian package into this machine as a user would (dpkg -i,
# apt for its dependencies), uses what it installed from the installed
# paths, and removes it again: the demo machine scanned by the installed
# fennick-scan gives the expected results, fennick-verify tells the
# package's version, man finds and renders the installed pages, bash
# completes both tools from the installed completion, the installed window
# carries no test driver, and after the purge none of the package's files
# and none of the folders it made are left. Needs root.
#
#   tests/package/install-package.sh DEB
# FENNICK_BINARY_DIR names the test build (default build/): its helper
# tools make the demo machine, and its window test build is the control of
# the driver probe.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
deb=$(realpath "${1:?usage: install-package.sh DEB}")
export FENNICK_BINARY_DIR=${FENNICK_BINARY_DIR:-$src/build}
expected=$src/tests/expected

fail() {
  echo "install-package: $*" >&2
  exit 1
}
# A check whose failure still lets the others run; the run fails at the end.
failed=0
complain() {
  echo "install-package: $*" >&2
  failed=1
}

[[ $EUID -eq 0 ]] || fail "installing a package needs root"
[[ -f $deb ]] || fail "$deb is missing"
name=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
installed() { dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -qx "install ok installed"; }

work=$(mktemp -d)
# However the run ends, the package does not stay on the machine.
cleanup() {
  if dpkg-query -W "$name" >/dev/null 2>&1; then
    dpkg --purge "$name" >/dev/null 2>&1 || echo "install-package: could not purge $name" >&2
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A package of ours left by an interrupted run goes first.
if dpkg-query -W "$name" >/dev/null 2>&1; then
  dpkg --purge "$name" >/dev/null
fi

# The package's folders that are there before it: only those may remain.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\.||; s|/$||' | grep . >"$work/contents"
while read -r path; do
  [[ -d $path ]] && echo "$path"
done <"$work/contents" >"$work/folders-before"

export DEBIAN_FRONTEND=noninteractive
if ! dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
  # dpkg leaves the package unconfigured when dependencies are missing; apt
  # brings them and finishes the installation.
  apt-get install -f -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 \
    >>"$work/dpkg.log" 2>&1 || true
fi
installed || fail "the package did not install: $(tail -20 "$work/dpkg.log")"
dpkg -L "$name" | grep -v '^/\.$' >"$work/files"

for path in /usr/bin/fennick-scan /usr/bin/fennick-verify /usr/bin/orvia-fennick \
            /usr/share/man/man1/fennick-scan.1.gz /usr/share/man/man1/fennick-verify.1.gz \
            /usr/share/man/man1/orvia-fennick.1.gz \
            /usr/share/bash-completion/completions/fennick-scan \
            /usr/share/bash-completion/completions/fennick-verify \
            /usr/share/applications/orvia-fennick.desktop \
            /usr/share/icons/hicolor/48x48/apps/orvia-fennick.png \
            "/usr/share/doc/$name/copyright" /usr/libexec/fennick/fennick-package-reader; do
  grep -qxF "$path" "$work/files" || fail "the package does not install $path"
done

# The installed scanner on the demo machine: the same results as the build's.
prefix=$work/demo
"$src/tools/make-demo-prefix" "$prefix" >"$work/demo.log" 2>&1 ||
  fail "tools/make-demo-prefix failed: $(tail -5 "$work/demo.log")"
status=0
env -u LANGUAGE -u LC_ALL -u LC_MESSAGES FENNICK_TRUSTED_CERTS="$prefix/trusted" \
  /usr/bin/fennick-scan --prefix "$prefix" --json --report "$work/Defects.log" \
  >"$work/scan.json" || status=$?
[[ $status -eq 1 ]] || fail "installed fennick-scan: exit status $status, expected 1 (affected)"
sed "s|\"report\": \"$work/Defects.log\"|\"report\": \"REPORT\"|" "$work/scan.json" |
  diff -u "$expected/demo-scan.json" - || fail "installed fennick-scan: unexpected results"
cmp "$expected/demo-Defects.log" "$work/Defects.log" ||
  fail "installed fennick-scan: unexpected Defects.log"

# The installed scanner reads a cached Windows Installer package through the
# installed reader: Delta lists the three files its package installed, not
# the four files of its components' folders (a neighbour's among them).
msi_prefix=$FENNICK_BINARY_DIR/fixtures/msi-prefix/prefix
if [[ -f $msi_prefix/system.reg ]]; then
  printf '%s\n' '<ScanConfig><Validators><Validator><Type>PE</Type>' \
    '<FileTypes><Extension>dll</Extension></FileTypes></Validator></Validators><Products>' \
    '<MSIProduct><ProductCode>{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E04}</ProductCode></MSIProduct>' \
    '</Products></ScanConfig>' >"$work/msi-config.xml"
  /usr/bin/fennick-scan --prefix "$msi_prefix" --config "$work/msi-config.xml" --json \
    >"$work/msi.json" 2>&1 || true
  grep -qF '"filesListed": 3,' "$work/msi.json" ||
    complain "installed fennick-scan did not read Delta's package: $(head -c 300 "$work/msi.json")"
fi

if ! /usr/bin/fennick-verify --version >"$work/version.txt" 2>&1; then
  complain "installed fennick-verify --version failed: $(head -3 "$work/version.txt")"
elif ! grep -qF "$version" "$work/version.txt"; then
  complain "fennick-verify --version does not tell the package's version $version: $(cat "$work/version.txt")"
fi

if ! page=$(man -w fennick-scan); then
  complain "man finds no page for fennick-scan"
elif [[ $page != /usr/share/man/man1/fennick-scan.1.gz ]]; then
  complain "man finds $page, not the installed page"
elif ! MANWIDTH=80 man -P cat fennick-scan 2>/dev/null | grep -q "fennick-scan - "; then
  complain "the installed page of fennick-scan does not render"
fi

for tool in fennick-scan fennick-verify; do
  if ! MANWIDTH=80 man -P cat "$tool" 2>/dev/null | grep -q "$tool - "; then
    complain "the installed page of $tool does not render"
  fi
done
if ! MANWIDTH=80 man -P cat fennick-verify 2>/dev/null | grep -q -- "--recurse"; then
  complain "the installed page of fennick-verify does not describe --recurse"
fi

# The installed completion, loaded by bash-completion by the command's name.
bash "$src/tests/scripts/completion.sh" /usr/share/bash-completion/completions >"$work/completion.log" 2>&1 ||
  complain "bash completion from the installed files: $(cat "$work/completion.log")"

bash "$src/tests/scripts/window-shipped.sh" /usr/bin/orvia-fennick || failed=1

dpkg --purge "$name" >"$work/purge.log" 2>&1 || fail "dpkg --purge failed: $(cat "$work/purge.log")"
! dpkg-query -W "$name" >/dev/null 2>&1 || fail "dpkg still knows $name after the purge"
left=0
while read -r path; do
  if [[ -d $path && ! -L $path ]]; then
    grep -qxF "$path" "$work/folders-before" && continue
  elif [[ ! -e $path && ! -L $path ]]; then
    continue
  fi
  echo "install-package: left behind: $path" >&2
  left=1
done <"$work/files"
((left == 0)) || fail "the purge left files of the package behind"
((failed == 0)) || fail "some checks failed (see above)"
echo "install-package: $name $version installed, used and removed ($(wc -l <"$work/files") paths)"
