#!/usr/bin/env bash
# The foreign providers that 70-lsp.reg puts first in the two Winsock catalogues: DLLs of other
# vendors, with version texts of their own, where such DLLs are dropped. The 32-bit one goes to the
# 32-bit system folder, which is what "%SystemRoot%\system32" means to the 32-bit programs that load
# it. Wine keeps no 32-bit system DLLs, so its own mswsock.dll stands in for the 32-bit one that
# Windows has there, and the standard entries of the 32-bit catalogue read as they do on Windows.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX is not set}"
build=${LARKSPUR_BUILD_DIR:?LARKSPUR_BUILD_DIR is not set}
windows=$WINEPREFIX/drive_c/windows
cp "$build/tests/lsp/speedlsp.dll" "$windows/system32/speedlsp.dll"
mkdir -p "$windows/syswow64"
cp "$build/tests/lsp/wow64lsp.dll" "$windows/syswow64/starlsp.dll"
cp "$windows/system32/mswsock.dll" "$windows/syswow64/mswsock.dll"
