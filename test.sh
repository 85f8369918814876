#!/usr/bin/env bash
# Sets up, builds and runs every test.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
qm_build
cd "$QM_BUILD"
ctest --output-on-failure --timeout 600
