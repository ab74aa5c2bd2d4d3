#!/usr/bin/env bash
# Builds everything and scans this machine into report.xml. Set
# HX_HXMD_PROFILE to a machine profile (e.g. hxmd/profiles/demo-machine.xml)
# to have our daemon answer for that machine instead of this one.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

# The scan talks to the management daemon. Start ours for the duration of the
# scan; it steps aside when a daemon already answers (or cannot create its
# sockets), and one connection attempt then decides, so the scan never waits
# on retries.
export HX_HXMD_CONNECT_RETRIES="${HX_HXMD_CONNECT_RETRIES:-1}"
./build/hxmd 2>build/hxmd-scan.log &
hxmd_pid=$!
trap 'kill "$hxmd_pid" 2>/dev/null || true; wait "$hxmd_pid" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -S "${HX_SYSROOT:-}/dev/hxmds" ] && kill -0 "$hxmd_pid" 2>/dev/null && break
  kill -0 "$hxmd_pid" 2>/dev/null || break
  sleep 0.1
done

./build/ZcSysScan -xmlreport report.xml -verbose
echo
