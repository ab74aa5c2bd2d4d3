#!/usr/bin/env bash
# Builds everything and scans this machine into report.xml.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
./build/ZcSysScan -xmlreport report.xml -verbose
echo
