#!/usr/bin/env bash
# Start-up of the real program under Xvfb: the wall time from starting
# zubqr-gui to the first paint of its window, and its peak resident memory
# (VmHWM) once it has settled, the background page request included; next
# to it the same figures of bare_window, a bare Qt window of the same size
# with a Chinese label (bench/BareWindow.cpp), the floor Qt itself sets.
# Every run has its own settings and runtime folder, so every run is a
# first start with the lock free and no stored position.
#   bash bench/startup.sh [build-dir]      (default build/release)
#   RUNS=10 SETTLE=3 bash bench/startup.sh build/release
set -euo pipefail
build=${1:-build/release}
runs=${RUNS:-10}
settle=${SETTLE:-3} # seconds between the first paint and reading VmHWM
gui="$build/app/zubqr-gui"
bare="$build/bench/bare_window"
for program in "$gui" "$bare"; do
  [ -x "$program" ] || { echo "no $program: build the targets zubqr-gui and bare_window first" >&2; exit 2; }
done

work=$(mktemp -d)
# The runtime folder of a desktop session (/run/user/UID) is a tmpfs; where
# /dev/shm is one, the runs' runtime folders live there too, so that the
# instance lock costs what it costs in a session, not a disk flush.
shm=
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  shm=$(mktemp -d /dev/shm/zubqr-startup.XXXXXX)
fi
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work" ${shm:+"$shm"}
}
trap cleanup EXIT

# A private X server on the first free display.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
display=":$(head -n1 "$work/display")"

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# One start of program $2 as run $1: prints "<ms to first paint> <VmHWM MB>".
measure() {
  local run="$work/$1" program=$2
  local runtime="${shm:-$run}/$1-runtime"
  mkdir -p "$runtime" "$run/config"
  chmod 700 "$runtime"
  local start pid painted hwm_kb
  start=$(now_ms)
  env -u DBUS_SESSION_BUS_ADDRESS -u QT_QPA_PLATFORM DISPLAY="$display" \
    XDG_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$run/config" ZUBQR_MARK_FIRST_PAINT=1 \
    "$program" 2>"$run/stderr" &
  pid=$!
  painted=
  for _ in $(seq 2000); do
    painted=$(sed -n 's/^[a-z-]*: first paint \([0-9]*\)$/\1/p' "$run/stderr")
    [ -n "$painted" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.005
  done
  if [ -z "$painted" ]; then
    echo "$1: no first paint" >&2
    cat "$run/stderr" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
  fi
  sleep "$settle"
  hwm_kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status")
  kill -TERM "$pid"
  wait "$pid" || true
  awk -v ms=$((painted - start)) -v kb="$hwm_kb" 'BEGIN {printf "%d %.1f\n", ms, kb / 1024}'
}

times=()
peaks=()
bare_times=()
bare_peaks=()
printf '%-6s %12s %12s %12s %12s\n' run 'start-up ms' 'VmHWM MB' 'bare ms' 'bare MB'
# The two programs take turns, so that a busy moment of the machine hits both.
for i in $(seq "$runs"); do
  read -r ms mb < <(measure "run$i" "$gui")
  read -r bare_ms bare_mb < <(measure "bare$i" "$bare")
  times+=("$ms")
  peaks+=("$mb")
  bare_times+=("$bare_ms")
  bare_peaks+=("$bare_mb")
  printf '%-6s %12s %12s %12s %12s\n' "$i" "$ms" "$mb" "$bare_ms" "$bare_mb"
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
highest() { printf '%s\n' "$@" | sort -n | tail -n1; }
printf '%-6s %12s %12s %12s %12s\n' median "$(median "${times[@]}")" "$(median "${peaks[@]}")" \
  "$(median "${bare_times[@]}")" "$(median "${bare_peaks[@]}")"
printf '%-6s %12s %12s %12s %12s\n' worst "$(highest "${times[@]}")" "$(highest "${peaks[@]}")" \
  "$(highest "${bare_times[@]}")" "$(highest "${bare_peaks[@]}")"
awk -v t="$(median "${times[@]}")" -v bt="$(median "${bare_times[@]}")" \
  -v p="$(median "${peaks[@]}")" -v bp="$(median "${bare_peaks[@]}")" \
  'BEGIN {printf "%-6s %12.2f %12.2f   (medians, ours / bare)\n", "ratio", t / bt, p / bp}'
