#!/usr/bin/env bash
# Quorvane's one entry point for developers and CI.
#   ./quorvane.sh test   install what is missing, build, run every test (plain, ASan+UBSan, TSan)
#   ./quorvane.sh test --quick  the plain build and its unit and GUI tests only
#   ./quorvane.sh run    install what is missing, build, start the program
#   ./quorvane.sh bench  build and run the benchmarks
#   ./quorvane.sh package  build the Debian package (build/package/quorvane_*.deb)
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

packages=(cmake ninja-build g++ pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev libgl-dev libcap-dev libcap2-bin chrony xvfb xauth fonts-liberation
          clang-format x11-apps dpkg-dev file desktop-file-utils appstream lintian
          at-spi2-core dbus python3-gi gir1.2-atspi-2.0
          libgnutls28-dev nettle-dev gnutls-bin
          iproute2 python3 xdotool x11-utils netpbm)

install_missing() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  # No service may start by itself from these packages (chrony above all: the tests start
  # their own, which never touches the clock).
  local policy=/usr/sbin/policy-rc.d created_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
    $sudo chmod +x "$policy"
    created_policy=1
  fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
  [ "$created_policy" -eq 1 ] && $sudo rm -f "$policy"
  # A chrony or ntpsec service that a package may still have started would hold port 123
  # and could discipline the clock; the tests run their own, which never touch it.
  if command -v systemctl >/dev/null 2>&1; then
    $sudo systemctl disable --now chrony >/dev/null 2>&1 || true
    $sudo systemctl disable --now ntpsec >/dev/null 2>&1 || true
  fi
  return 0
}

# ntpsec is a test peer only, and its package conflicts with chrony's (installing it would
# remove chrony): its ntpd is unpacked into build/ntpsec, never installed, never a service.
unpack_ntpsec() {
  [ -x build/ntpsec/usr/sbin/ntpd ] && return 0
  local tmp
  tmp=$(mktemp -d)
  chmod 755 "$tmp"
  if (cd "$tmp" && apt-get download -q ntpsec >/dev/null 2>&1); then
    mkdir -p build && dpkg-deb -x "$tmp"/ntpsec_*.deb build/ntpsec
  else
    echo "ntpsec could not be fetched: its NTS test skips."
  fi
  rm -rf "$tmp"
}

# The three builds are CMakePresets.json's: plain (build/), asan (build/asan), tsan (build/tsan).
configure_preset() {  # preset
  cmake --preset "$1" >/dev/null
}

build_preset() {  # preset
  configure_preset "$1"
  cmake --build --preset "$1" -j "$jobs"
}

# Runs a command and notes how long it took, for the table at the end of the test run.
phase_times=()
timed() {  # label command...
  local started=$SECONDS
  "${@:2}"
  phase_times+=("$(printf '%-32s %5d s' "$1" $((SECONDS - started)))")
}

report_phases() {
  echo "== Time by phase"
  printf '%s\n' "${phase_times[@]}"
}

test_preset() {  # preset
  ctest --preset "$1" -j "$jobs"
}

check_format() {
  local files
  files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
  # shellcheck disable=SC2086
  clang-format --dry-run -Werror $files
}

# The plain build packed by CPack into build/package; sets package_path to the .deb. The
# package needs no build of its own: plain has its flags, and CPack strips what it installs.
build_package() {
  build_preset plain
  rm -f build/package/quorvane_*.deb
  (cd build && cpack -G DEB -B "$root/build/package" >/dev/null)
  package_path=$(ls "$root"/build/package/quorvane_*.deb)
}

cmd_package() {
  install_missing
  build_package
  echo "$package_path"
}

# The developer's loop after a change: the plain build, its unit and GUI tests (no chrony,
# no namespaces, no sanitizers); ./quorvane.sh test before pushing.
cmd_test_quick() {
  build_preset plain
  ctest --preset plain -j "$jobs" -L '^(unit|gui)$'
}

# A sanitizer build runs beside the tests of the build before it: the tests mostly wait on
# the network and on real time, and the compiler, at the lowest priority, takes only what they
# leave. Its output is shown when it has finished.
start_background_build() {  # preset
  configure_preset "$1"
  background_log="$root/build/$1-build.log"
  mkdir -p "$root/build"
  nice -n 19 cmake --build --preset "$1" -j "$jobs" >"$background_log" 2>&1 &
  background_pid=$!
  # A run that stops early (a failed test) takes its build with it.
  trap 'kill "$background_pid" 2>/dev/null || true' EXIT
  background_started=$SECONDS
}

finish_background_build() {  # preset
  local status=0
  wait "$background_pid" || status=$?
  cat "$background_log"
  phase_times+=("$(printf '%-32s %5d s' "$1: build (beside the tests)" $((SECONDS - background_started)))")
  return "$status"
}

cmd_test() {
  timed "install what is missing" install_missing
  timed "unpack ntpsec" unpack_ntpsec
  timed "format" check_format
  echo "== build (warnings are errors)"
  timed "plain: configure" configure_preset plain
  timed "plain: build" build_preset plain
  start_background_build asan
  timed "plain: tests" test_preset plain
  echo "== The Debian package: install, run, purge (as root)"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Not root: the package test installs the package, so it is skipped."
  else
    timed "package: pack" build_package
    timed "package: test" tests/package/package_test.sh "$package_path"
  fi
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
  finish_background_build asan
  start_background_build tsan
  timed "asan: tests" test_preset asan
  echo "== ThreadSanitizer (the core: watchdog, worker and engine tests)"
  finish_background_build tsan
  # Some kernels randomise mmap more than this TSan runtime accepts; run it without ASLR.
  timed "tsan: tests" setarch "$(uname -m)" -R ctest --preset tsan -j "$jobs"
  report_phases
}

cmd_run() {
  install_missing
  build_preset plain
  local launch=("$root/build/Quorvane")
  if [ "$(id -u)" -eq 0 ]; then
    # Root may set the clock; a user namespace of its own takes that right away.
    echo "Running as root: starting Quorvane in a user namespace, where it cannot set the clock."
    launch=(unshare --user --map-root-user "${launch[@]}")
  fi
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting Quorvane on a virtual display (Xvfb)."
    launch=(xvfb-run -a -s "-screen 0 1024x768x24" "${launch[@]}")
  fi
  exec "${launch[@]}" "$@"
}

cmd_bench() {
  install_missing
  # The same optimisation as the test build: GCC 12 at -O3 warns falsely (-Wrestrict) on strings.
  # The benchmarks are left out of the tests' build (bench/all builds them).
  build_preset plain
  cmake --build --preset plain -j "$jobs" --target bench/all
  # The sync benchmarks measure against a loopback NTP server that never touches the clock.
  bench_chrony_dir="$root/build/bench-chrony"
  tests/support/chrony.sh start "$bench_chrony_dir"
  trap 'tests/support/chrony.sh stop "$bench_chrony_dir"' EXIT
  for b in build/bench/*_bench; do
    [ -x "$b" ] && "$b"
  done
  for s in bench/*.sh; do
    [ -x "$s" ] && "$s" "$root/build"
  done
  return 0
}

case "${1:-}" in
  test)
    case "${2:-}" in
      "") cmd_test ;;
      --quick) cmd_test_quick ;;
      *) echo "usage: $0 test [--quick]" >&2; exit 2 ;;
    esac ;;
  run) shift; cmd_run "$@" ;;
  bench) cmd_bench ;;
  package) cmd_package ;;
  *) echo "usage: $0 test [--quick]|run|bench|package" >&2; exit 2 ;;
esac
