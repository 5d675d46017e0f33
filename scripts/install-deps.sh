#!/usr/bin/env bash
# Installs everything nrbx needs to build, run and test on Debian 12, as root.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  build-essential cmake pkg-config clang-format-14
  clang-14 libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev
  libpng-dev libdeflate-dev zlib1g-dev
  fonts-ipafont-gothic
  python3 python3-pil python3-numpy nodejs
  xvfb xauth x11-utils imagemagick xdotool openbox wmctrl libxcb1-dev
  xfwm4 metacity dbus weston qt6-wayland
  desktop-file-utils appstream groff-base dpkg-dev shared-mime-info bash-completion lintian
  debhelper autopkgtest blhc devscripts
  hyperfine
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
