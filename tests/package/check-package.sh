#!/usr/bin/env bash
# Builds the release zip and checks what it holds: the executable the tests
# ran (byte for byte), the guide with every picture it shows, the licence.
set -euo pipefail
win32_build="$1"
root="$(cd "$(dirname "$0")/../.." && pwd)"
export MOVARA_BUILD="$(dirname "$win32_build")"
out=$("$root/scripts/package")
zip=$(sed -n 's/^package: //p' <<<"$out")
[ -f "$zip" ] || { echo "no zip made: $out"; exit 1; }
name=$(basename "$zip" .zip)
[ "$name" = "MovaraM-1.0.1.7-win32" ] || { echo "unexpected name $name"; exit 1; }

listing=$(unzip -Z1 "$zip" | sort)
for f in MovaraM.exe MovaraM.com guide.md LICENSE.txt; do
  grep -qx "$name/$f" <<<"$listing" || { echo "missing $f in $zip"; exit 1; }
done
for img in $(grep -oE 'img/[A-Za-z0-9_-]+\.png' "$root/docs/guide.md" | sort -u); do
  grep -qx "$name/$img" <<<"$listing" || { echo "the guide shows $img, which the zip lacks"; exit 1; }
done
for f in MovaraM.exe MovaraM.com; do
  unzip -p "$zip" "$name/$f" | cmp - "$win32_build/$f" \
    || { echo "the zip's $f is not the one the tests ran"; exit 1; }
done
unzip -p "$zip" "$name/LICENSE.txt" | head -n1 | grep -q $'^MIT License\r$' || { echo "LICENSE.txt is not CR LF text"; exit 1; }
echo "package ok: $(wc -l <<<"$listing") files"
