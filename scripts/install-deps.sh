#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the sanitizer runs, the fuzzers and the
# benchmarks need. Idempotent: runs apt-get only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake make pkg-config git
  clang-14 libclang-rt-14-dev llvm-14 clang-format
  libcurl4-openssl-dev librapidxml-dev nlohmann-json3-dev libmicrohttpd-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpugixml-dev
  libcli11-dev
  curl binutils
  # The substitute camera's RTSP stream, and the foreign clients its tests read it with.
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgstrtspserver-1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
  gstreamer1.0-libav gstreamer1.0-tools gstreamer1.0-plugins-base-apps ffmpeg
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
