#!/usr/bin/env bash
# Remakes docs/screenshot.png: the main window with a star, an intra/extra pair
# and the PSF/EE and MTF windows, rendered offscreen.
set -euo pipefail
source "$(dirname "$0")/setup.sh"
qm_build --target quillmere-screenshot
QT_QPA_PLATFORM=offscreen "$QM_BUILD/app/quillmere-screenshot" "$QM_ROOT/docs/screenshot.png"
echo "Wrote $QM_ROOT/docs/screenshot.png"
