#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running Flickstow
# need, skipping those already present. Runs apt-get directly as root, through
# sudo otherwise, and only prints the command when neither is possible.
set -eu

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libcups2-dev
  libjpeg-dev
  libgumbo-dev
  libzip-dev
  libsane-dev libsane1 sane-utils
  fonts-liberation2 fonts-dejavu-core
  xvfb x11-apps xauth
  ccache
  clang-format clang-tidy
  python3
  python3-mido
  desktop-file-utils libglib2.0-bin
  dpkg-dev file lintian appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

cmd=(apt-get install -y --no-install-recommends "${missing[@]}")
echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q && "${cmd[@]}"
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
  sudo DEBIAN_FRONTEND=noninteractive apt-get update -q && sudo DEBIAN_FRONTEND=noninteractive "${cmd[@]}"
else
  echo "Please install the missing packages first:" >&2
  echo "  sudo apt-get update && sudo ${cmd[*]}" >&2
  exit 1
fi
