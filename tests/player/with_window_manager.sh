#!/bin/sh
# Runs a command on the current X display under openbox, as a desktop user
# has it: window frames, title bars and placement come from a real manager.
set -u
command -v openbox >/dev/null 2>&1 || { echo "openbox missing: install it (make deps)" >&2; exit 1; }
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# Ready once it has claimed the screen.
i=0
while [ $i -lt 100 ] && ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
  sleep 0.05; i=$((i + 1))
done
VORTAQ_WINDOW_MANAGER=openbox "$@"
status=$?
kill $wm 2>/dev/null
wait $wm 2>/dev/null
exit $status
