# shellcheck shell=bash
# Sourced by the tests and measurements that run the real program in a network namespace of
# their own: the namespace with its own resolver files, an X server its clients reach, and the
# program started in it under a user namespace (with CAP_SYS_TIME out of the bounding set), where
# it cannot set the clock. The caller sets `work` (a scratch folder it removes) and calls
# pn_cleanup from its EXIT trap; pn_cleanup removes everything made here, also after a failure.
# shellcheck source=tests/support/x_server.sh
. "$(dirname "${BASH_SOURCE[0]}")/x_server.sh"
pn_ns=""
pn_xvfb_pid=""
pn_program_pid=""
pn_pids=()
pn_display=""

# The namespace NAME with loopback up and /etc/netns/NAME, whose files `ip netns exec` lays over
# /etc: a hosts file that knows only localhost (and the lines in PN_HOSTS), and resolv.conf with
# the given lines. "ipv6-only" as third argument takes 127.0.0.1 off loopback. False where no
# namespace can be made (not root, no netns support).
pn_make_netns() {  # name resolv-lines [ipv6-only]
  ip netns add "$1" 2>/dev/null || return 1
  pn_ns=$1
  ip -n "$1" link set lo up
  [ "${3:-}" = ipv6-only ] && ip -n "$1" addr del 127.0.0.1/8 dev lo
  mkdir -p "/etc/netns/$1"
  printf '127.0.0.1 localhost\n::1 localhost\n%s' "${PN_HOSTS:-}" >"/etc/netns/$1/hosts"
  printf '%s\n' "$2" >"/etc/netns/$1/resolv.conf"
  return 0
}

pn_in_ns() { ip netns exec "$pn_ns" "$@"; }

# Runs in the background, killed by pn_cleanup. (`ip netns exec` itself, not a function
# around it: a function in the background is a subshell, and $! would name that.)
pn_spawn_in_ns() {
  ip netns exec "$pn_ns" "$@" &
  pn_pids+=($!)
}

# An X server its clients in the namespace reach (see x_server.sh).
pn_start_x() {
  start_free_x_server ip netns exec "$pn_ns" || return 1
  pn_xvfb_pid=$x_pid
  pn_display=$x_display
}

x() { DISPLAY=$pn_display "$@"; }

# A copy of BUILD's program and helper in $work/program (the log lives beside the program),
# with the [Options] lines OPTIONS in the profile of a home of its own, started in the
# namespace with ARGS. Its output goes to $work/program.txt.
pn_start_program() {  # build options [args...]
  local build=$1 options=$2
  shift 2
  mkdir -p "$work/program" "$work/home/.config/Veltrand"
  cp "$build/Quorvane" "$build/quorvane-helper" "$work/program/"
  printf '[Options]\n%s' "$options" >"$work/home/.config/Veltrand/Quorvane.conf"
  ip netns exec "$pn_ns" env -i PATH=/usr/bin:/bin DISPLAY="$pn_display" TZ=UTC HOME="$work/home" \
    XDG_CONFIG_HOME="$work/home/.config" ASAN_OPTIONS=detect_leaks=0 \
    setpriv --bounding-set -sys_time -- unshare --user --map-root-user \
    "$work/program/Quorvane" "$@" >"$work/program.txt" 2>&1 &
  pn_program_pid=$!
}

pn_stop_program() {
  [ -n "$pn_program_pid" ] || return 0
  kill "$pn_program_pid" 2>/dev/null
  wait "$pn_program_pid" 2>/dev/null
  pn_program_pid=""
}

pn_is_popup_menu() { x xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q POPUP_MENU; }

# The first visible window whose title matches, waiting at most SECONDS; empty when none.
# Menus are left out: Qt names them after the application, as it does the boxes.
pn_wait_window() {  # title-regex seconds
  local id="" end candidate
  end=$(($(date +%s%N) + ${2%.*} * 1000000000))
  while [ "$(date +%s%N)" -lt "$end" ]; do
    for candidate in $(x xdotool search --onlyvisible --name "$1" 2>/dev/null); do
      pn_is_popup_menu "$candidate" || { id=$candidate; break; }
    done
    [ -n "$id" ] && break
    [ -n "$pn_program_pid" ] && ! kill -0 "$pn_program_pid" 2>/dev/null && break
    sleep 0.05
  done
  echo "$id"
}

pn_cleanup() {
  pn_stop_program
  local pid
  for pid in "${pn_pids[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "$pn_xvfb_pid" ] && kill "$pn_xvfb_pid" 2>/dev/null
  if [ -n "$pn_ns" ]; then
    sleep 0.2 # lets what ran in the namespace end before it goes
    ip netns del "$pn_ns" 2>/dev/null
    rm -rf "/etc/netns/${pn_ns:?}"
    rmdir /etc/netns 2>/dev/null
  fi
  return 0
}
