#!/usr/bin/env bash
# Installs the Debian packages named that are missing: the benchmarks' peers and tools.
#
#   bash bench/need-packages.sh hyperfine gifsicle ...
set -euo pipefail
need=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
  as_root apt-get update -q >/dev/null
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${need[@]}" >/dev/null
fi
