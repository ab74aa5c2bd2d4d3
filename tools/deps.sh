#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test the project,
# including clang with its libFuzzer and sanitizer runtimes for tools/fuzz.sh.
set -euo pipefail
need=()
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v g++ >/dev/null 2>&1 || need+=(g++)
command -v make >/dev/null 2>&1 || need+=(make)
command -v clang++ >/dev/null 2>&1 || need+=(clang)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null || need+=(libclang-rt-dev)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}" >/dev/null
fi
