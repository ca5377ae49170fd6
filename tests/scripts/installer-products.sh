#!/usr/bin/env bash
# The installer-database listing over the fixture prefixes: the whole output
# as expected, icons only in the scratch folder, and the prefix left exactly
# as it was (no file added, removed or changed).
set -euo pipefail
tool="$FENNICK_BINARY_DIR/fennick-installer-products"
expected="$FENNICK_SOURCE_DIR/tests/fixtures/installer/expected-win32.txt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

snapshot() {
  (cd "$1" && find . -printf '%p %y %s %T@\n' | sort && find . -type f -exec md5sum {} + | sort)
}
list() {
  "$tool" --prefix "$1" --scratch "$2" --exclude KELTO-LEGACY --exclude KELTO-VIEWER \
    --exclude-suffix '\Cache\thumbs.dll' --ext .exe --ext .dll --ext .ovp --ext .zip
}

for arch in win32 win64; do
  prefix="$FENNICK_FIXTURES/installer-prefixes/$arch"
  snapshot "$prefix" > "$work/before-$arch"
  list "$prefix" "$work/scratch-$arch" > "$work/out-$arch"
  snapshot "$prefix" > "$work/after-$arch"
  diff -u "$work/before-$arch" "$work/after-$arch"
  (cd "$work/scratch-$arch" && ls -A) > "$work/icons-$arch"
  printf '%s\n' KELTO-DRAW.png KELTO-LEGACY.png "KELTO-O'NEIL.png" \
    KELTO-STUDIO-PATCH-1.png KELTO-STUDIO.png | diff -u - "$work/icons-$arch"
done

diff -u "$expected" "$work/out-win32"
# The 64-bit prefix holds the same databases in its 32-bit common files.
sed 's/^common files folder: .*/common files folder: C:\\Program Files (x86)\\Common Files/' \
  "$expected" | diff -u - "$work/out-win64"
echo "installer listing as expected, prefixes untouched"
