# Headless Chromium from Debian's package, as this machine's closed network
# needs it: no background connections, a new empty profile per run.
#   headless_chromium PROFILE_DIR ARGUMENTS... URL
headless_chromium() {
  local profile="$1"
  shift
  mkdir -p "$profile"
  timeout 120 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$profile" "$@"
}
