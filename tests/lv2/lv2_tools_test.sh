#!/bin/bash
# Vantor.lv2 as Debian's LV2 tools see it: lv2ls lists it, lv2info shows its 113 ports with the
# table's names, ranges and texts, its UI and 64 presets, and sord_validate finds the bundle's
# Turtle valid against the LV2 schemas.
#   lv2_tools_test.sh BUNDLE_FOLDER
set -u
bundles=$(cd "$1" && pwd) || exit 1
uri=https://www.brenwick.example/lv2/vantor
export LV2_PATH="$bundles:/usr/lib/lv2"
failures=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

lv2ls 2>/dev/null | grep -qx "$uri" || { echo "FAILED: lv2ls does not list $uri"; exit 1; }
echo "ok: lv2ls lists $uri"
info=$(lv2info "$uri" 2>/dev/null)
has() {  # has TEXT PATTERN...: every pattern matches a line of the text
  local text=$1
  shift
  for pattern; do grep -q -e "$pattern" <<<"$text" || return 1; done
}
port() {  # the block lv2info prints for port N
  awk -v n="$1" '$0 ~ "^\tPort " n ":$" {on = 1; next} /^\tPort [0-9]+:$/ {on = 0} on' <<<"$info"
}
check "113 ports" test "$(grep -c $'^\tPort [0-9]*:$' <<<"$info")" -eq 113
check "the name" grep -q $'^\tName: *Vantor$' <<<"$info"
check "an instrument" grep -q $'^\tClass: *Instrument Plugin$' <<<"$info"
check "the X11 UI" grep -q 'ui#X11UI' <<<"$info"
check "state" grep -q 'state#interface' <<<"$info"
presets=$(awk '/^\tPresets:/ {on = 1} on && /^\t +[^ ]/' <<<"$info" | sed 's/^[[:space:]]*//; s/^Presets: *//')
check "64 presets" test "$(grep -c . <<<"$presets")" -eq 64
check "the first and last preset" has "$presets" '^Pad: Fat Strings$' '^Init$'
# Parameters as the table declares them: a continuous one, a bipolar one, an enumerated one
# with its texts, the key split's 60 note names, the MIDI input and the outputs.
check "port 0 Main Volume 0..1, default 0.25" has "$(port 0)" "Symbol: *main_volume$" \
  "Name: *Main Volume$" "Minimum: *0.000000" "Maximum: *1.000000" "Default: *0.250000"
check "port 41 Env -> Filter FM -12289..12289" has "$(port 41)" "Name: *Env -> Filter FM$" \
  "Minimum: *-12289.000000" "Maximum: *12289.000000" "Default: *0.000000"
check "port 37 Filter Mode: an integer enumeration of four texts" has "$(port 37)" \
  "lv2core#integer" "lv2core#enumeration" '0.0 = "Bypass"' '3.0 = "Bandpass"'
check "port 2 Key Split Point: 60 note names" test "$(port 2 | grep -c ' = "')" -eq 60
check "port 2 C#1 .. C6, default C3" has "$(port 2)" '0.0 = "C#1"' '23.0 = "C3"' '59.0 = "C6"' \
  "Default: *23.000000"
check "port 110 MIDI input" has "$(port 110)" "atom#AtomPort" "lv2core#InputPort" "Symbol: *midi_in"
check "ports 111 and 112 audio outputs" has "$(port 111; port 112)" "Symbol: *out_left" \
  "Symbol: *out_right" "lv2core#AudioPort"

if command -v sord_validate >/dev/null && [ -d /usr/lib/lv2/schemas.lv2 ]; then
  result=$(sord_validate /usr/lib/lv2/schemas.lv2/*.ttl /usr/lib/lv2/*/*.ttl "$bundles"/Vantor.lv2/*.ttl 2>&1)
  check "sord_validate: $(tail -1 <<<"$result")" grep -q '^Found 0 errors' <<<"$result"
else
  echo "sord_validate or the LV2 schemas are missing: validation skipped"
fi
echo "$failures failed"
[ "$failures" -eq 0 ]
