#!/usr/bin/env bash
# The single-file program signed as an author signs it on Linux: built by
# the Windows qvsetup.exe (the engine beside it) under Wine, signed with
# osslsigncode and a throwaway certificate made here with openssl. The
# signature verifies, qvsetup verifies the signed program and it installs;
# with one byte of its payload changed after signing, osslsigncode and the
# program itself refuse it (1603, which a Linux parent of Wine sees as 67)
# and nothing is installed.
#   signed_program_test.sh WIN64_BIN_FOLDER   (QV_WINEPREFIX names the prefix)
set -euo pipefail
. "$(dirname "$0")/../../../scripts/wine-env.sh"
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="${QV_WINEPREFIX:?}"
"$here/../../../scripts/wine-prefix.sh" "$WINEPREFIX"
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-signed.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
fail() { echo "FAILED: $*" >&2; exit 1; }
win() { winepath -w "$1"; }

head -c 300000 /dev/urandom > app.bin
printf '[setup]\napp_name = "签名测试"\nuninstallable = false\n\n[[file]]\nsource = "app.bin"\ndest = "{app}\\\\app.bin"\n' > app.toml
wine "$bin/qvsetup.exe" build "$(win app.toml)" --exe "$(win unsigned.exe)" > build.log 2>&1 || { cat build.log; fail "build --exe"; }
grep -q "(beside qvsetup)" build.log || { cat build.log; fail "the engine beside qvsetup.exe"; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -subj "/CN=QV Setup test" -days 2 2>/dev/null
osslsigncode sign -certs cert.pem -key key.pem -n "签名测试" -in unsigned.exe -out signed.exe > sign.log 2>&1 ||
  { cat sign.log; fail "osslsigncode sign"; }
osslsigncode verify -CAfile cert.pem signed.exe > verify.log 2>&1 || { cat verify.log; fail "osslsigncode verify of the signed program"; }
wine "$bin/qvsetup.exe" verify "$(win signed.exe)" > qvverify.log 2>&1 || { cat qvverify.log; fail "qvsetup verify of the signed program"; }

status=0
wine signed.exe /VERYSILENT /SUPPRESSMSGBOXES "/DIR=$(win "$work/installed")" || status=$?
[ "$status" -eq 0 ] || fail "the signed program ended with $status (low 8 bits)"
cmp -s app.bin installed/app.bin || fail "the signed program installed other bytes"

# One byte in the middle of the payload, after signing.
size=$(stat -c %s signed.exe)
cp signed.exe changed.exe
offset=$((size - 150000))
byte=$(od -An -tu1 -j "$offset" -N1 changed.exe | tr -d ' ')
printf "$(printf '\\%03o' $(( (byte + 1) % 256 )))" | dd of=changed.exe bs=1 seek="$offset" conv=notrunc status=none
if osslsigncode verify -CAfile cert.pem changed.exe > changed-verify.log 2>&1; then
  cat changed-verify.log
  fail "osslsigncode verify accepted the changed program"
fi
status=0
wine changed.exe /VERYSILENT /SUPPRESSMSGBOXES "/DIR=$(win "$work/refused")" || status=$?
[ "$status" -eq 67 ] || fail "the changed program ended with $status, not 67 (1603)"
[ ! -e refused ] || fail "the changed program installed something"
echo "signed program: verified, installed; changed after signing: refused by osslsigncode and by itself"
