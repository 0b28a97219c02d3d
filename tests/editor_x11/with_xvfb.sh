#!/bin/sh
# Runs a command under a virtual X server of its own. The server picks a free display number
# itself (-displayfd), so that parallel runs on one machine never share or steal a server; it
# keeps running between clients (-noreset), so a test that connects just after another left finds it.
# The screen is wide enough for the editor at 200% (1848 x 912).
set -u
number_file=$(mktemp)
Xvfb -displayfd 5 -screen 0 1920x1024x24 -nolisten tcp -noreset 5>"$number_file" 2>/dev/null &
server=$!
tries=0
while [ ! -s "$number_file" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 200 ] || ! kill -0 "$server" 2>/dev/null; then
    echo "Xvfb did not start" >&2
    rm -f "$number_file"
    exit 1
  fi
  sleep 0.05
done
DISPLAY=:$(head -n 1 "$number_file")
export DISPLAY
rm -f "$number_file"
"$@"
status=$?
kill "$server"
wait "$server" 2>/dev/null
exit "$status"
