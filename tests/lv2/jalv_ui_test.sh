#!/bin/bash
# Vantor.lv2 in jalv (Debian's LV2 host for JACK) with its X11 UI, under a virtual X server and
# a dummy JACK server of their own: jalv loads a factory preset, runs the plug-in with its ports
# on the JACK server, embeds the editor (924 x 456) in its window; a click on the editor changes
# what it shows; interrupted, jalv closes both and ends cleanly.
#   jalv_ui_test.sh BUNDLE_FOLDER
set -u
bundles=$(cd "$1" && pwd) || exit 1
uri=https://www.brenwick.example/lv2/vantor
work=$(mktemp -d)
jack_pid=
cleanup() {
  [ -n "$jack_pid" ] && kill "$jack_pid" 2>/dev/null && wait "$jack_pid" 2>/dev/null
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  for log in "$work"/*.log; do echo "--- $log"; tail -20 "$log"; done
  exit 1
}

export LV2_PATH="$bundles:/usr/lib/lv2"
export HOME="$work" XDG_CONFIG_HOME="$work/config"
# A server name of our own, so parallel runs and a user's JACK never meet.
export JACK_DEFAULT_SERVER="vantor-lv2-test-$$-$RANDOM"
export JACK_NO_AUDIO_RESERVATION=1
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jack_pid=$!
jack_wait -w -t 60 >/dev/null 2>&1 || fail "the dummy JACK server did not start"

# Runs under xvfb-run's display: waits on what can be observed, never for a fixed time.
cat >"$work/session.sh" <<'SESSION'
set -u
work=$1 uri=$2
wait_for() {  # wait_for SECONDS COMMAND...: true once the command succeeds
  local end=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -ge "$end" ] && return 1
    sleep 0.1
  done
}
jalv.gtk3 --jack-name vantor --preset "$uri#preset-02" "$uri" >"$work/jalv.log" 2>&1 &
jalv=$!
wait_for 120 bash -c "xwininfo -root -tree | grep -q ' 924x456+'" || { echo "no editor window"; exit 1; }
wait_for 60 bash -c 'jack_lsp | grep -qx vantor:out_left' || { echo "no JACK ports"; exit 1; }
jack_lsp > "$work/ports.txt"
window=$(xwininfo -root -tree | awk '/ 924x456\+/ {print $1; exit}')
# The editor sits inside jalv's window: its parent is not the root window.
xwininfo -id "$window" -children | grep -q 'Parent window id: .*(the root window)' &&
  { echo "the editor is not embedded"; exit 1; }
wait_for 30 bash -c "xwd -silent -id $window > '$work/before.xwd' && [ -s '$work/before.xwd' ]"
# The 16' sawtooth button of generator 1 toggles; the editor redraws it on its timer.
xdotool mousemove --window "$window" 223 256 click 1
changed() {
  xwd -silent -id "$window" > "$work/after.xwd" && ! cmp -s "$work/before.xwd" "$work/after.xwd"
}
wait_for 30 changed || { echo "the click changed nothing in the editor"; exit 1; }
kill -0 "$jalv" || { echo "jalv ended early"; exit 1; }
# Interrupted, jalv closes the UI and the plug-in and ends.
kill -INT "$jalv"
wait_for 60 bash -c "! kill -0 $jalv" || { echo "jalv did not end"; kill -9 "$jalv"; exit 1; }
wait "$jalv"
echo "jalv exit status $?"
SESSION
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/session.sh" "$work" "$uri" \
  >"$work/session.log" 2>&1 || fail "$(tail -1 "$work/session.log")"
grep -q "^jalv exit status 0$" "$work/session.log" || fail "jalv: $(tail -1 "$work/session.log")"
for port in vantor:midi_in vantor:out_left vantor:out_right; do
  grep -qx "$port" "$work/ports.txt" || fail "jalv shows no port $port"
done
# jalv prints the control values it starts with: those of "Bass: Classic Rezo", not the defaults.
for value in "main_volume = 0.684000" "mono_lower = 1.000000" "poly_upper = 0.000000"; do
  grep -qx "$value" "$work/jalv.log" || fail "jalv did not start with the preset's $value"
done
grep -qi "error\|failed" "$work/jalv.log" && fail "jalv reported: $(grep -i 'error\|failed' "$work/jalv.log" | head -1)"
echo "ok: jalv ran Vantor.lv2 with preset 2 and its UI; the editor took a click; jalv closed cleanly"
