#!/bin/sh
# The Windows plug-in as a Windows host sees it, under Wine: vsthost.exe loads the DLL, prints
# its information, renders the demo phrase (compared with the Linux render of the same phrase when
# a Linux build is given), saves and reloads program and bank files, and the plug-in reads and
# writes its configuration file in the Wine user's local application data.
#
#   smoke_test.sh WINE_RUN VSTHOST.exe PLUGIN.dll WAV_COMPARE.exe OUT_DIR [LINUX_VSTHOST LINUX_PLUGIN]
set -eu
wine_run=$1 vsthost=$2 plugin=$3 compare=$4 out=$5
linux_vsthost=${6:-} linux_plugin=${7:-}

fail() {
  echo "FAILED: $*" >&2
  exit 1
}
# Wine's drive Z: is the Unix root.
win() { printf 'Z:%s\n' "$1" | sed 's|/|\\|g'; }
host() { "$wine_run" "$vsthost" "$@"; }

rm -rf "$out"
mkdir -p "$out"
appdata=$("$wine_run" cmd /c echo %LOCALAPPDATA% | tr -d '\r')
prefix_appdata=$(printf "%s\n" "$appdata" | sed -e 's|^C:|'"$WINEPREFIX"'/drive_c|' -e 's|\\|/|g')
config="$prefix_appdata/Brenwick/vantor.ini"
rm -f "$config"
# The start-up bank written below must not stay for the other tests of the prefix.
trap 'rm -f "$config"' EXIT

echo "-- info"
host info "$(win "$plugin")" >"$out/info.txt" 2>&1 || { cat "$out/info.txt"; fail "vsthost info"; }
grep -q '^Name: *Vantor' "$out/info.txt" || fail "no instrument name in the information"
grep -q '^ *0  Pad: Fat Strings' "$out/info.txt" || fail "the factory bank is missing"
grep -q '^Parameters (110)' "$out/info.txt" || fail "not 110 parameters"
[ -f "$config" ] || fail "the first start made no $config"
echo "the first start created $config"

echo "-- render"
host render "$(win "$plugin")" -q --format float -o "$(win "$out/windows.wav")" || fail "render"
[ -s "$out/windows.wav" ] || fail "no WAV written"
if [ -n "$linux_vsthost" ]; then
  "$linux_vsthost" render "$linux_plugin" -q --format float -o "$out/linux.wav" || fail "Linux render"
  # Float rounding in the C libraries of the two systems may differ in the last bits.
  "$wine_run" "$compare" "$(win "$out/windows.wav")" "$(win "$out/linux.wav")" 1e-4 ||
    fail "the Windows render differs from the Linux one"
else
  echo "no Linux build given: the render is not compared"
fi

echo "-- program and bank files"
# A program with one value changed survives saving and loading, and differs from the untouched one.
host save "$(win "$plugin")" --program 0 --set 38=0.3 -o "$(win "$out/p.fxp")" -q || fail "save program"
host save "$(win "$plugin")" --program 0 -o "$(win "$out/p-untouched.fxp")" -q || fail "save program"
host save "$(win "$plugin")" --preset "$(win "$out/p.fxp")" -o "$(win "$out/p-again.fxp")" -q ||
  fail "reload program"
cmp -s "$out/p.fxp" "$out/p-untouched.fxp" && fail "setting a parameter changed nothing"
cmp "$out/p.fxp" "$out/p-again.fxp" || fail "a program does not survive saving and loading"
host save "$(win "$plugin")" --bank -o "$(win "$out/bank.fxb")" -q || fail "save bank"
host save "$(win "$plugin")" --preset "$(win "$out/bank.fxb")" --bank -o "$(win "$out/bank-again.fxb")" -q ||
  fail "reload bank"
cmp "$out/bank.fxb" "$out/bank-again.fxb" || fail "a bank does not survive saving and loading"
if [ -n "$linux_vsthost" ]; then
  "$linux_vsthost" save "$linux_plugin" --bank -o "$out/linux.fxb" -q || fail "Linux bank"
  cmp "$out/bank.fxb" "$out/linux.fxb" || fail "the Windows bank differs from the Linux one"
  echo "program and bank files round-trip, and the bank equals the Linux one byte for byte"
fi

echo "-- configuration"
# A start-up bank named in the configuration replaces the factory bank: a renamed first program
# shows that the file was read, its Windows path included.
sed 's/Fat Strings/Wet Strings/g' "$out/bank.fxb" >"$out/renamed.fxb"
printf '[Startup Bank]\r\nFile=%s\r\n' "$(win "$out/renamed.fxb")" >"$config"
host info "$(win "$plugin")" >"$out/info-startup.txt" 2>&1 || fail "info with a start-up bank"
grep -q '^ *0  Pad: Wet Strings' "$out/info-startup.txt" ||
  fail "the start-up bank of the configuration was not loaded"
grep -q 'File=' "$config" || fail "the configuration lost its start-up bank"
echo "the configuration's start-up bank was loaded"
echo "smoke test passed"
