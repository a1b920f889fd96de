#!/usr/bin/env bash
# Loads the fixture fleet's Summary.html from a file into headless Chromium
# and checks what it renders: the counts, the tables' rows, the bars, and
# that no name of the fleet became markup or ran a script. One line per
# check, "ok: ..." or "FAILED: ...". Usage: check-summary-page.sh NATIVE_BUILD
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../../scripts/lib/chromium.sh"
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$build/tests/movara_summary_fixture" "$work" || { echo "FAILED: the fixture's page could not be written"; exit 1; }
headless_chromium "$work/profile" --dump-dom "file://$work/Summary.html" >"$work/dom.html" 2>"$work/chromium.log"
if [ ! -s "$work/dom.html" ]; then
  echo "FAILED: Chromium rendered nothing"
  tail -n 20 "$work/chromium.log"
  exit 1
fi
/usr/bin/python3 "$here/check_summary_dom.py" "$work/dom.html"
