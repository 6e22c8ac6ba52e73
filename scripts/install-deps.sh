#!/usr/bin/env bash
# Installs the Debian packages Pagewright builds with, only those missing.
set -euo pipefail
packages=(g++ make cmake libgtest-dev nlohmann-json3-dev libcli11-dev libssl-dev zlib1g-dev clang libclang-rt-14-dev mdbtools qt6-base-dev libgl-dev)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
