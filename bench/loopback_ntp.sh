# Sourced by the measurement scripts: makes sure an NTP server answers on 127.0.0.1:123,
# starting a chrony that never touches the clock when none runs. stop_loopback_ntp stops
# only a server that ensure_loopback_ntp started.
loopback_ntp_dir=""
ensure_loopback_ntp() {  # build dir
  if ss -lun 2>/dev/null | grep -q '127.0.0.1:123 '; then return 0; fi
  loopback_ntp_dir="$1/bench-loopback-chrony"
  "$(dirname "${BASH_SOURCE[0]}")/../tests/support/chrony.sh" start "$loopback_ntp_dir"
}
stop_loopback_ntp() {
  [ -n "$loopback_ntp_dir" ] || return 0
  "$(dirname "${BASH_SOURCE[0]}")/../tests/support/chrony.sh" stop "$loopback_ntp_dir"
}
