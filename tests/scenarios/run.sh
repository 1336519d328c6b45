#!/usr/bin/env bash
# Runs one scenario script against a fresh store in temporary drives.
#   run.sh BIN_DIR SCRIPT
# A line "# store: demo|create|none" in the script chooses the store
# (default demo); "# store-args: ..." passes more arguments to the store tool.
set -u
bin=$(realpath "$1")
scn=$(realpath "$2")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/M" "$tmp/G" "$tmp/cfg" "$tmp/run"
export VELMORA_DRIVE_M="$tmp/M" VELMORA_DRIVE_G="$tmp/G" XDG_CONFIG_HOME="$tmp/cfg" XDG_RUNTIME_DIR="$tmp/run"
chmod 700 "$tmp/run"
store=$(sed -n 's/^# store: *//p' "$scn" | head -n 1)
args=$(sed -n 's/^# store-args: *//p' "$scn" | head -n 1)
case "${store:-demo}" in
  demo) "$bin/velmora-store" demo "$tmp/M" $args >/dev/null || exit 1 ;;
  create) "$bin/velmora-store" create "$tmp/M" $args >/dev/null || exit 1 ;;
  none) ;;
  *) echo "unknown store: $store" >&2; exit 1 ;;
esac
# The workstation has run the program before: its short-date setting is the
# program's "MM/dd/yyyy" (a line "# workstation: fresh" keeps the default).
if ! grep -q '^# workstation: fresh' "$scn"; then
  printf 'short_date=MM/dd/yyyy\n' > "$tmp/G/Workstation.ini"
fi
cd "$tmp" && timeout 180 "$bin/velmora-scenario" "$scn"
