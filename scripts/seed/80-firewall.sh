#!/usr/bin/env bash
# The module that names one of the firewall exceptions of 80-firewall.reg, in the system folder.
set -euo pipefail
names="${LARKSPUR_BUILD_DIR:?LARKSPUR_BUILD_DIR is not set}/tests/firewall_names.dll"
system32="${WINEPREFIX:?WINEPREFIX is not set}/drive_c/windows/system32"
cp "$names" "$system32/firewall_names.dll"
