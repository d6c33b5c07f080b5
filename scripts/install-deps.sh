#!/usr/bin/env bash
# Installs every system package that building and testing QV Setup needs.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  cmake g++ make zlib1g-dev libdeflate-dev googletest
  libtomlplusplus-dev libcli11-dev nlohmann-json3-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 xvfb xauth
  imagemagick fonts-wqy-zenhei
  zip unzip time ccache
  clang libclang-rt-14-dev
  osslsigncode openssl python3-jsonschema python3-yaml
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
