#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time (seconds,
# default 60) on a copy of its seed corpus. Fails on the first crash, leak,
# sanitizer report or broken promise.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-60}"
build="$root/build-fuzz"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for target in opdfile mirrorprofile csvpair renderargs doublestars tiff jpeg; do
  echo "== fuzz_$target for ${seconds} s"
  mkdir -p "$work/$target"
  (cd "$work" && "$build/fuzz_$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
      -max_len=8192 -print_final_stats=1 "$work/$target" "$here/corpus/$target" 2>&1 | tail -n 12)
  # The pipe hides the fuzzer's status: look for its crash files instead.
  if ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* >/dev/null 2>&1; then
    echo "fuzz_$target found a failing input:" >&2
    ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* 2>/dev/null >&2
    exit 1
  fi
done
echo "All fuzz targets ran clean."
