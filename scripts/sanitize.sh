#!/usr/bin/env bash
# Builds and runs the whole test suite under AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/. Any report fails the run.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
build="$QM_ROOT/build-asan"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$QM_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLMERE_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
fi
cmake --build "$build"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$QM_ROOT/tests/lsan.supp:print_suppressions=0"
cd "$build"
ctest --output-on-failure --timeout 900
