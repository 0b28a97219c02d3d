#!/bin/sh
# The instrument's editor in a real Wine window, as a Windows host shows it: vsthost.exe opens it
# in a window of its own, a scripted click on the 16' sawtooth button of generator 1 switches
# that parameter off (read back through the plug-in), and what the window shows matches the
# committed picture of the editor. Then again at 200%, the host telling the plug-in its display's
# scale (--zoom 2): the window, the click and the picture (REFERENCE@2x.png) twice as large.
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
for zoom in 1 2; do
  scale() { echo $(($1 * zoom)); }
  if [ "$zoom" = 1 ]; then name=editor size="924 x 456" expected=$reference; else
    name=editor@2x size="1848 x 912" expected=${reference%.png}@2x.png
  fi
  "$wine_run" "$vsthost" editor "$(win "$plugin")" --program 0 --set 20=On \
    --click "$(scale 223),$(scale 256)" --zoom "$zoom" --idle 0 -o "$(win "$out/$name.png")" \
    >"$out/$name.txt" 2>&1 || { cat "$out/$name.txt"; fail "vsthost editor at zoom $zoom"; }
  cat "$out/$name.txt"
  grep -q "^Editor: $size, 1 actions, 1 parameter changes told to the host" "$out/$name.txt" ||
    fail "the editor did not open at $size, or the click was not told to the host"
  grep -q '^Parameter 20 .*"On" -> "Off"' "$out/$name.txt" ||
    fail "the click did not switch the parameter off at zoom $zoom"
  [ -s "$out/$name.png" ] || fail "no picture of the window at zoom $zoom"
  # Live text comes from Wine's fonts and the clicked button is off: small differences only.
  "$wine_run" "$compare" "$(win "$out/$name.png")" "$(win "$expected")" 1.5 0.985 ||
    fail "the window does not show the editor's picture at zoom $zoom"
done
echo "editor test passed"
