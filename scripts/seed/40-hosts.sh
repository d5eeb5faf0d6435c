#!/usr/bin/env bash
# A HOSTS file as malware leaves it: security and update sites sent to dead or foreign addresses.
set -euo pipefail
etc="${WINEPREFIX:?WINEPREFIX is not set}/drive_c/windows/system32/drivers/etc"
mkdir -p "$etc"
printf '%s\r\n' \
  '# HOSTS file' \
  '127.0.0.1       localhost' \
  '' \
  '127.0.0.1       update.shieldguard-antivirus.example' \
  '127.0.0.1       www.shieldguard-antivirus.example' \
  '127.0.0.1       download.scanwell-security.example' \
  '127.0.0.1       definitions.scanwell-security.example' \
  '0.0.0.0         www.online-virus-scan.example' \
  '0.0.0.0         forum.malware-removal-help.example' \
  '0.0.0.0         updates.os-vendor.example' \
  '203.0.113.66    www.netbank-login.example' \
  '203.0.113.66    mail.webmail-portal.example' > "$etc/hosts"
