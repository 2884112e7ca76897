#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the simulator need, when missing.
set -euo pipefail
packages=(
    build-essential cmake ninja-build g++ pkg-config ccache
    clang-14 libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libfreetype-dev libpng-dev libsdl2-dev
    libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg
    lame id3v2 mediainfo libimage-exiftool-perl imagemagick libjpeg-turbo-progs libtag1-dev
    fonts-liberation fonts-wqy-microhei
    nlohmann-json3-dev libdvbpsi-dev libzvbi-dev dtv-scan-tables
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
