#!/bin/sh
# The instrument's editor in a real Wine window, as a Windows host shows it: vsthost.exe opens it
# in a window of its own, a scripted click on the 16' sawtooth button of generator 1 switches
# that parameter off (read back through the plug-in), and what the window shows matches the
# committed picture of the editor.
#
#   editor_test.sh WINE_RUN VSTHOST.exe PLUGIN.dll PNG_COMPARE.exe REFERENCE.png OUT_DIR
# Run with a display (xvfb-run).
set -eu
wine_run=$1 vsthost=$2 plugin=$3 compare=$4 reference=$5 out=$6

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
win() { printf 'Z:%s\n' "$1" | sed 's|/|\\|g'; }

rm -rf "$out"
mkdir -p "$out"
"$wine_run" "$vsthost" editor "$(win "$plugin")" --program 0 --set 20=On --click 223,256 --idle 0 \
  -o "$(win "$out/editor.png")" >"$out/editor.txt" 2>&1 || { cat "$out/editor.txt"; fail "vsthost editor"; }
cat "$out/editor.txt"
grep -q '^Editor: 924 x 456, 1 actions, 1 parameter changes told to the host' "$out/editor.txt" ||
  fail "the editor did not open at its size, or the click was not told to the host"
grep -q '^Parameter 20 .*"On" -> "Off"' "$out/editor.txt" ||
  fail "the click did not switch the parameter off"
[ -s "$out/editor.png" ] || fail "no picture of the window"
# Live text comes from Wine's fonts and the clicked button is off: small differences only.
"$wine_run" "$compare" "$(win "$out/editor.png")" "$(win "$reference")" 1.5 0.985 ||
  fail "the window does not show the editor's picture"
echo "editor test passed"
