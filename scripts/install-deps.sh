#!/usr/bin/env bash
# Installs what the build needs on Debian 12, only what is missing. With --desktop also what
# the desktop test stage needs: an X server, a window manager, input and screenshot tools, OCR
# and a PDF renderer.
set -euo pipefail
packages=(g++ cmake ninja-build ccache libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev fonts-dejavu-core)
if [[ ${1:-} == --desktop ]]; then
  packages+=(xvfb openbox xdotool x11-utils x11-apps imagemagick tesseract-ocr tesseract-ocr-eng poppler-utils)
fi
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
