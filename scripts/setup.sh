#!/usr/bin/env bash
# Installs what the build needs (Debian packages), then configures and builds in
# build/. Sourced by run.sh and test.sh; fast when everything is in place.
set -euo pipefail

QM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QM_BUILD="$QM_ROOT/build"

qm_packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libqcustomplot-dev fonts-dejavu-core libjpeg-dev libcfitsio-dev
  libgtest-dev libgmock-dev
  libbenchmark-dev libfftw3-dev
)

# The fuzzers' compiler and runtime (CI only).
qm_fuzz_packages=(clang libclang-rt-dev)

qm_install_missing() {
  local missing=()
  local p
  local wanted=("$@")
  [ ${#wanted[@]} -eq 0 ] && wanted=("${qm_packages[@]}")
  for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Missing packages. Run as root:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}

qm_build() {
  if [ ! -f "$QM_BUILD/build.ninja" ]; then
    cmake -S "$QM_ROOT" -B "$QM_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  cmake --build "$QM_BUILD" "$@"
}

qm_install_missing
