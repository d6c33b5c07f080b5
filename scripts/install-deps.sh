#!/usr/bin/env bash
# Installs every system package that building and testing QV Setup needs.
# Idempotent: when everything is present it only checks and returns.
#
# The release Setup.exe is a 32-bit program, so Wine runs it through its
# 32-bit loader (wine32:i386) beside the 64-bit one, as 64-bit Windows runs
# it through WOW64. That loader is a 32-bit Linux program: on a machine
# that cannot run those (some virtual machines have no 32-bit mode) it is
# not installed, and a copy already there is removed, since Debian's wine
# and wineboot commands would take it for every program and fail there;
# the i686 test runs say they are skipped.
#
# A multiarch library must have one version in both architectures; on a
# day when the security suite's i386 index does not download (a mirror in
# sync), apt would take the amd64 side from it and then remove wine64 to
# install wine32. The Wine packages are therefore installed with the
# security suite held back for that one command, so that both
# architectures take the main suite's versions, and nothing may be removed
# on the way.
set -euo pipefail

packages=(
  cmake g++ make zlib1g-dev googletest
  libtomlplusplus-dev libcli11-dev nlohmann-json3-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  xvfb xauth
  imagemagick fonts-wqy-zenhei
  zip unzip time ccache
  clang libclang-rt-14-dev
  osslsigncode openssl python3-jsonschema python3-yaml
)
# A static i386 program of 93 bytes that exits with 0.
runs_32bit() {
  local probe status
  probe=$(mktemp)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' > "$probe"
  chmod +x "$probe"
  status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return $status
}

if runs_32bit; then
  wine_packages=(wine wine64 wine32:i386)
  loaders=(/usr/lib/wine/wine /usr/lib/wine/wine64)
else
  wine_packages=(wine wine64)
  loaders=(/usr/lib/wine/wine64)
  if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    echo "install-deps: this machine cannot run 32-bit programs; removing wine32:i386, whose loader cannot start here"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq wine32:i386 libwine:i386 >/dev/null
  fi
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
loaders_present() { for l in "${loaders[@]}"; do [ -f "$l" ] || return 1; done; }

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
missing_wine=()
for p in "${wine_packages[@]}"; do installed "$p" || missing_wine+=("$p"); done
has_i386=1
if [[ " ${wine_packages[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then has_i386=0; fi
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_wine[@]} -eq 0 ] && [ $has_i386 -eq 1 ] && loaders_present; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
apt_install() { $sudo apt-get install -y -qq --no-install-recommends "$@"; }

[ $has_i386 -eq 1 ] || $sudo dpkg --add-architecture i386
# An index that fails to download (a mirror in sync) is reported and left
# out; the installs below say whether what they need was found.
$sudo apt-get update -qq || echo "install-deps: some package indexes did not download; going on with the rest"

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  apt_install "${missing[@]}"
fi

if [ ${#missing_wine[@]} -gt 0 ] || ! loaders_present; then
  echo "install-deps: installing ${wine_packages[*]} (from the main suite)"
  pin=/etc/apt/preferences.d/qvsetup-wine-same-versions
  $sudo tee "$pin" >/dev/null <<'EOF'
Package: *
Pin: release l=Debian-Security
Pin-Priority: -1
EOF
  trap '$sudo rm -f "$pin"' EXIT
  # --no-remove: a solution that removes a package (wine64 for wine32, say)
  # stops the install instead of taking place.
  if ! apt_install --no-remove "${wine_packages[@]}"; then
    echo "install-deps: the Wine packages (${wine_packages[*]}) could not be installed side by side." >&2
    echo "  Run 'apt-get update' again later (a mirror may be in sync), then 'make test'." >&2
    exit 1
  fi
  $sudo rm -f "$pin"
  trap - EXIT
fi

for l in "${loaders[@]}"; do
  if [ ! -f "$l" ]; then
    echo "install-deps: $l is missing after the install (packages ${wine_packages[*]})." >&2
    exit 1
  fi
done
