#!/usr/bin/env bash
# The installed copy of the Chrome extension that 76-browsers.reg forces, in the prefix user's
# profile: its manifest names it through the copy's Chinese messages.
set -euo pipefail
for local in "${WINEPREFIX:?WINEPREFIX is not set}"/drive_c/users/*/AppData/Local; do
  [ "$(basename "$(dirname "$(dirname "$local")")")" = Public ] && continue
  copy="$local/Google/Chrome/User Data/Default/Extensions/kembcdlbgbcnnchcnbdhbmbhbejnedjf/3.2.1_0"
  mkdir -p "$copy/_locales/zh_CN"
  printf '%s\n' '{"manifest_version":3,"name":"__MSG_extName__","version":"3.2.1","default_locale":"zh_CN"}' \
    > "$copy/manifest.json"
  printf '%s\n' '{"extName":{"message":"省钱购物助手","description":"name"}}' > "$copy/_locales/zh_CN/messages.json"
done
