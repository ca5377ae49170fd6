#!/usr/bin/env bash
# Made the committed vendor PKI in this folder (root, intermediate and the
# vendor's code-signing certificate, with their keys). Kept to show how; do
# not rerun casually: new keys give the signer a new thumbprint, which the
# shipped configuration and the tests name.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../fixtures/pki.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pki_ca_dir "$work/root"
pki_ca_dir "$work/intermediate"
pki_key "$here/orvia-root.key"
pki_key "$here/orvia-intermediate.key"
pki_key "$here/orvia-signer.key"
pki_issue "$work/root" self "$here/orvia-root.key" "$here/orvia-root.key" \
  "/C=DE/O=Orvia Systems/CN=Orvia Systems Root CA" v3_root \
  20200101000000Z 20500101000000Z "$here/orvia-root.crt"
pki_issue "$work/root" "$here/orvia-root.crt" "$here/orvia-root.key" "$here/orvia-intermediate.key" \
  "/C=DE/O=Orvia Systems/CN=Orvia Systems Code Signing CA" v3_ca \
  20200101000000Z 20450101000000Z "$here/orvia-intermediate.crt"
pki_issue "$work/intermediate" "$here/orvia-intermediate.crt" "$here/orvia-intermediate.key" \
  "$here/orvia-signer.key" \
  "/C=DE/O=Orvia Systems/OU=Release Engineering/CN=Orvia Systems Code Signing" v3_codesign \
  20210101000000Z 20400101000000Z "$here/orvia-signer.crt"
echo "vendor signer thumbprint: $(pki_thumbprint "$here/orvia-signer.crt")"
