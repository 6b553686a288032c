#!/usr/bin/env bash
# Installs the Debian packages the build, the tool and its tests need; does
# nothing when they are all there already.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config clang-format
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev
    nlohmann-json3-dev
    libjpeg-dev
    xvfb xauth xdotool x11-utils libx11-dev imagemagick
    fonts-arphic-uming fonts-wqy-zenhei
    clang libclang-rt-14-dev
    lintian appstream desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
