#!/usr/bin/env bash
# The module that the seeded browser extension's menu text names (75-addons.reg), where it says.
set -euo pipefail
dir="${WINEPREFIX:?WINEPREFIX is not set}/drive_c/Program Files/PageTools"
mkdir -p "$dir"
cp "${LARKSPUR_BUILD_DIR:?LARKSPUR_BUILD_DIR is not set}/tests/addon/addon_strings.dll" "$dir/pagetools.dll"
