#!/usr/bin/env bash
# Builds everything and runs the unit, integration and GUI tests, then the unit
# tests again under AddressSanitizer and UndefinedBehaviorSanitizer, then one
# minute of fuzzing both views from the sample and real files.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTROVA_SANITIZE=ON -DKESTROVA_GUI=OFF
cmake --build build-sanitize -j"$jobs" --target kestrova_unit_tests
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize -L unit --output-on-failure -j"$jobs"

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKESTROVA_FUZZ=ON -DKESTROVA_GUI=OFF -DKESTROVA_TESTS=OFF
cmake --build build-fuzz -j"$jobs" --target kestrova_fuzz
bash tests/fuzz/run-fuzz.sh 60
