#!/usr/bin/env bash
# Installs what the build needs on Debian 12, only what is missing.
set -euo pipefail
packages=(g++ cmake ninja-build ccache libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
