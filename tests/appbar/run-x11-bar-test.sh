#!/usr/bin/env bash
# Starts Xvfb and openbox in a temporary home, runs the desktop-bar probe against them and
# stops both again. Every wait is bounded.
set -u
probe=$1
shift  # the rest goes to the probe
work=$(mktemp -d /tmp/appbar-x11-XXXXXX)
xvfb_pid=""
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  [ -n "$wm_pid" ] && wait "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and writes its number to the pipe.
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/displayfd" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
if ! read -r -t 15 display <"$work/displayfd" || [ -z "$display" ]; then
  echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1
fi
export DISPLAY=":$display"

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config"
mkdir -p "$XDG_CONFIG_HOME/openbox"
cat >"$XDG_CONFIG_HOME/openbox/rc.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>1</number></desktops>
  <margins><top>0</top><bottom>0</bottom><left>0</left><right>0</right></margins>
</openbox_config>
XML
openbox --sm-disable --config-file "$XDG_CONFIG_HOME/openbox/rc.xml" >"$work/openbox.log" 2>&1 &
wm_pid=$!

# The window manager is up once it publishes its check window and the work area.
for _ in $(seq 1 150); do
  if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" &&
     xprop -root _NET_WORKAREA 2>/dev/null | grep -q "="; then
    break
  fi
  sleep 0.1
done
if ! xprop -root _NET_WORKAREA 2>/dev/null | grep -q "="; then
  echo "openbox did not start"; cat "$work/openbox.log"; exit 1
fi

# Leaks inside the X and font libraries are not ours to report.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
timeout 40 "$probe" "$@"
status=$?
[ $status -ne 0 ] && cat "$work/openbox.log"
exit $status
