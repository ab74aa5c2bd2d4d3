#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz and runs each one for a
# bounded time (first argument, seconds; default 20) on a copy of its seed
# corpus in fuzz/corpus/<target>. Fails on the first crash, leak, time-out or
# out-of-memory; the input that caused it is kept in build-fuzz/artifacts/.
#   tools/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DHX_BUILD_FUZZ=ON -DHX_BUILD_TESTS=OFF -DHX_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*.cc; do targets+=("$(basename "$source" .cc)"); done
fi

# The targets read and write below a scratch system root (registry, trace
# ring, sockets), never the machine's own files.
sysroot="$(mktemp -d)"
trap 'rm -rf "$sysroot"' EXIT
mkdir -p "$sysroot/var/log/hxagt" build-fuzz/artifacts
for target in "${targets[@]}"; do
  work="build-fuzz/corpus-run/$target"
  rm -rf "$work"
  mkdir -p "$work"
  cp -r "fuzz/corpus/$target/." "$work/"
  log="build-fuzz/$target.log"
  echo "Fuzzing $target for ${seconds}s"
  if ! HX_SYSROOT="$sysroot" "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" "$work" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "FAILED: $target (input kept in build-fuzz/artifacts/)"
    exit 1
  fi
  grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/  /" || true
done
