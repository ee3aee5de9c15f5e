# shellcheck shell=bash
# Sourced by the tests that run the real program on an X server of their own, perhaps in a
# network namespace. start_free_x_server CMD... starts Xvfb on a display number nobody uses and
# sets x_display and x_pid. A client in a namespace reaches it only through
# /tmp/.X11-unix/X<n> (abstract sockets belong to a network namespace), so the number must be
# free there too, and the server counts as ready once `CMD... xdotool` gets in (CMD enters the
# namespace; empty for none). Numbers below xvfb-run's 99 and above the 0, 1, ... that
# -displayfd takes. -noreset keeps it up between the programs a test starts one after another:
# a reset as the last client leaves would refuse the next one.
x_display=""
x_pid=""
start_free_x_server() {  # command that enters the namespace...
  local n
  for n in $(seq 40 98); do
    [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ] && continue
    Xvfb :$n -nolisten tcp -noreset -screen 0 1024x768x24 >"$work/xvfb.txt" 2>&1 &
    x_pid=$!
    for _ in $(seq 300); do
      kill -0 "$x_pid" 2>/dev/null || break # another server took the number first
      if [ -S /tmp/.X11-unix/X$n ] && DISPLAY=:$n "$@" xdotool getdisplaygeometry >/dev/null 2>&1; then
        x_display=:$n
        return 0
      fi
      sleep 0.1
    done
    kill "$x_pid" 2>/dev/null
    wait "$x_pid" 2>/dev/null
    x_pid=""
  done
  return 1
}
