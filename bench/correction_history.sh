#!/bin/sh
# The time from the Correction History command to its window being shown, for logs of
# 10 000 and 1 000 000 entries, offscreen.
# Usage: bench/correction_history.sh [build directory]
set -eu
build=${1:-build}
QT_QPA_PLATFORM=offscreen "$build/bench/correction_history_open" 10000 1000000 2>/dev/null
