#!/usr/bin/env bash
# The foreign provider that 70-lsp.reg puts first in the Winsock catalogue: a DLL of another vendor,
# with version texts of its own, where such DLLs are dropped.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX is not set}"
cp "${LARKSPUR_BUILD_DIR:?LARKSPUR_BUILD_DIR is not set}/tests/lsp/speedlsp.dll" \
   "$WINEPREFIX/drive_c/windows/system32/speedlsp.dll"
