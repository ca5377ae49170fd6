#!/usr/bin/env bash
# fennick-scan.exe under Wine (64-bit) against the Linux fennick-scan on one real
# Wine prefix: made by wineboot, the demonstration machine's folders and
# installer databases copied in, its Windows Installer product installed by
# Wine's msiexec from a package that wixl builds, and the vendor's test root
# put into the prefix's Root store. Both scans must give the same JSON.
# Then the Windows Installer products of tests/fixtures/msi/products.sh
# (shared folders, a component in system32, a deleted cached package, 5,000
# components), their files signed by the vendor, are installed as well, and
# both scans of them must give the same products and files.
#
# Both scans see the machine as the 32-bit product does (Program Files
# (x86), SysWOW64, and the 64-bit folders through the folder-token helper):
# the 64-bit build that this Wine runs looks where the 32-bit one would, so
# both give the same paths.
# Usage: scan-compare.sh WINDOWS-BUILD-DIR LINUX-BUILD-DIR
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
windows_build=$(realpath "$1")
linux_build=$(realpath "$2")
out=$windows_build/wine-scan
rm -rf "$out"
mkdir -p "$out/home"
export WINEPREFIX=$out/prefix WINEDEBUG=-all WINEARCH=win64 HOME=$out/home
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot -i >/dev/null 2>&1
wineserver -w

# The demonstration machine's files; its registry is replaced by the real
# installation below.
FENNICK_BINARY_DIR=$linux_build "$source_dir/tools/make-demo-prefix" "$out/demo" >/dev/null
cp -a "$out/demo/drive_c/." "$WINEPREFIX/drive_c/"

# The Windows Installer product of the demonstration machine, installed for
# real: its product code, its folder and one file as the installer's own.
studio_code=$(sed -n 's/^studio_code=.\(.*\).$/\1/p' "$source_dir/tools/make-demo-prefix")
mkdir -p "$out/package"
cp "$out/demo/drive_c/Program Files (x86)/Orvia/Brisklet Studio/readme.txt" "$out/package/"
cat > "$out/package/studio.wxs" <<WXS
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="$studio_code" Name="Orvia Brisklet Studio 2024" Language="1033" Version="1.0.0"
           Manufacturer="Orvia Systems" UpgradeCode="{3C2D9E81-6A4B-4F70-9D12-7E5F4A3B2C10}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="payload.cab" EmbedCab="yes"/>
    <Property Id="ARPINSTALLLOCATION" Value="C:\\Program Files (x86)\\Orvia\\Brisklet Studio\\"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="ORVIA" Name="Orvia">
          <Directory Id="INSTALLDIR" Name="Brisklet Studio">
            <Component Id="Notes" Guid="{3C2D9E81-6A4B-4F70-9D12-7E5F4A3B2C11}">
              <File Id="Notes" Source="readme.txt" Name="readme.txt" KeyPath="yes"/>
            </Component>
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Main" Level="1"><ComponentRef Id="Notes"/></Feature>
  </Product>
</Wix>
WXS
(cd "$out/package" && wixl -o studio.msi studio.wxs && wine msiexec /i studio.msi /qn)
wineserver -w

# The vendor's root in the prefix's Root store.
bash "$(dirname "$0")/add-wine-roots.sh" "$out/demo/trusted"

linux=$(FENNICK_TRUSTED_CERTS=$out/demo/trusted "$linux_build/fennick-scan" --prefix "$WINEPREFIX" --json || true)
windows=$(wine "$windows_build/fennick-scan.exe" --json 2>/dev/null | tr -d '\r' || true)
# The result as sorted lines: each product's name with its section, and
# each of its fields and files with its name; then the counts.
canonical() {
  grep -o '"affected"\|"upToDate"\|"\(name\|id\|updateLink\)": "[^"]*"\|"[A-Z]:[^"]*"\|"\(filesListed\|filesChecked\|defects\)": [0-9]*\|"report": [^,}]*' |
    awk '/^"(affected|upToDate)"$/ { section = $0; next }
         /^"name"/ { product = section " " $0; print product; next }
         /^"(id|updateLink)"/ || /^"[A-Z]:/ { print product " " $0; next }
         { print }' | sort
}
printf '%s\n' "$linux" > "$out/linux.json"
printf '%s\n' "$windows" > "$out/windows.json"
canonical < "$out/linux.json" > "$out/linux.lines"
canonical < "$out/windows.json" > "$out/windows.lines"
if [[ ! -s $out/linux.lines ]] || ! grep -q '^"affected" ' "$out/linux.lines"; then
  echo "FAIL: the Linux scan found no affected product"
  exit 1
fi
if ! diff "$out/linux.lines" "$out/windows.lines"; then
  echo "FAIL: fennick-scan.exe and fennick-scan differ on the same prefix"
  exit 1
fi

# A scheduled rerun that keeps its report in the same file replaces it.
rm -f "$WINEPREFIX/drive_c/Defects copy.log"
for run in first second; do
  status=0
  wine "$windows_build/fennick-scan.exe" --report 'C:\Defects copy.log' >/dev/null \
    2>"$out/report-$run.err" || status=$?
  if ((status != 1)) || [[ ! -s "$WINEPREFIX/drive_c/Defects copy.log" ]]; then
    echo "FAIL: the $run scan with the same --report ended with status $status"
    cat "$out/report-$run.err"
    exit 1
  fi
done
echo "scan-compare: the same results from both scans"

# The Windows Installer products, every file but Iota's a vendor-signed one
# (so that each listed file shows in the results): first without Iota, then
# with it. Theta's cached package is deleted, so both scans look for its
# components among all of the machine's; Wine answers that enumeration in
# time that grows with the square of the machine's components (minutes for
# Iota's 5,000), so Theta is compared before Iota is installed.
signed="$out/demo/drive_c/Program Files (x86)/Orvia/Brisklet Studio/BriskletStudio.exe"
products=$source_dir/tests/fixtures/msi/products.sh
bash "$products" build "$out/msi" "$signed" >/dev/null
msi_config() { # DIGIT...: the MSIProducts of the fixture products with these last digits
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<ScanConfig>\n  <Validators>\n    <Validator>\n'
  printf '      <Type>PE</Type>\n      <FileTypes><Extension>dll</Extension></FileTypes>\n'
  printf '      <CertificateHash>BBCA7C15C27E00122C51451E9EF7B6A3EB56178D</CertificateHash>\n'
  printf '      <StartDate></StartDate>\n      <EndDate></EndDate>\n'
  printf '      <CompanyName>Orvia Systems</CompanyName>\n    </Validator>\n  </Validators>\n'
  printf '  <Products>\n'
  for n in "$@"; do
    printf '    <MSIProduct><DisplayName></DisplayName>'
    printf '<ProductCode>{0A1F3E52-7C44-4B1D-9E60-1A2B3C4D5E0%s}</ProductCode></MSIProduct>\n' "$n"
  done
  printf '  </Products>\n</ScanConfig>\n'
}
compare_msi() { # NAME DIGIT...: both scans of these products, as $out/NAME.lines
  local name=$1 linux windows
  shift
  msi_config "$@" > "$out/$name.xml"
  linux=$(FENNICK_TRUSTED_CERTS=$out/demo/trusted "$linux_build/fennick-scan" --prefix "$WINEPREFIX" \
            --config "$out/$name.xml" --json || true)
  windows=$(wine "$windows_build/fennick-scan.exe" --config "Z:${out//\//\\}\\$name.xml" --json \
              2>/dev/null | tr -d '\r' || true)
  printf '%s\n' "$linux" | canonical > "$out/$name-linux.lines"
  printf '%s\n' "$windows" | canonical > "$out/$name-windows.lines"
  if ! diff "$out/$name-linux.lines" "$out/$name-windows.lines"; then
    echo "FAIL: fennick-scan.exe and fennick-scan differ on the Windows Installer products ($name)"
    exit 1
  fi
}
expect_lines() { # FILE LINE...: the Linux scan's lines hold each LINE
  local file=$1 line
  shift
  for line in "$@"; do
    grep -qxF "$line" "$file" || { echo "FAIL: the Linux scan lacks $line"; exit 1; }
  done
}

bash "$products" install "$out/msi" alpha beta gamma delta epsilon zeta eta theta
compare_msi msi-products 1 2 3 4 5 6 7 8
# The Linux scan itself: a file in system32 and none of Wine's, the shared
# folder's file of each product its own, Theta's folder when its package is gone.
expect_lines "$out/msi-products-linux.lines" \
  '"affected" "name": "Orvia Eta" "C:\\windows\\system32\\orvia-eta.dll"' \
  '"affected" "name": "Orvia Delta" "C:\\Program Files (x86)\\Orvia Suite\\delta-common.dll"' \
  '"affected" "name": "Orvia Theta" "C:\\Program Files (x86)\\Orvia Theta\\theta-stray.dll"'
if grep -F '"name": "Orvia Delta"' "$out/msi-products-linux.lines" | grep -qF epsilon ||
   grep -qF 'eta-extra' "$out/msi-products-linux.lines"; then
  echo "FAIL: a product was given files that are not its own"
  exit 1
fi

bash "$products" install "$out/msi" iota
compare_msi msi-iota 1 2 3 4 5 7 9
expect_lines "$out/msi-iota-linux.lines" '"upToDate" "name": "Orvia Iota"' '"filesListed": 5015'
echo "scan-compare: the same Windows Installer products and files from both scans"
