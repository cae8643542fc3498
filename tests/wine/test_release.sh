#!/usr/bin/env bash
# Shipping a pack: the packer is a pure function of base, patch and options. Two packs of the same
# inputs, made in two folders, by the Linux packer and by corvath-sp-pack.exe under Wine, give the
# same bytes; --sign signs the pack so that it verifies against its authority and runs under Wine,
# and a byte changed fails verification.
source "$(dirname "$0")/lib.sh"

: "${CORVATH_PACKER_DIR:?set CORVATH_PACKER_DIR to the folder of the base and the packers}"
work="$CORVATH_WINE_WORK_DIR/release"
rm -rf "$work"
mkdir -p "$work/a" "$work/elsewhere/b"
on_exit rm -rf "$work"
sample=$(sample_file corvath-sp-sample.msp)
packer=$CORVATH_PACKER_DIR/corvath-sp-pack
export SOURCE_DATE_EPOCH=1700000000 # 14 November 2023, 22:13:20 UTC

# pack DIR ARGS...: packs the sample into DIR/corvath-sp.exe; status in LAST_RC.
pack() {
    local dir=$1
    shift
    LAST_RC=0
    "$packer" "$sample" -o "$dir/corvath-sp.exe" --record "$(sample_file record206.txt)" "$@" \
        >"$dir.log" 2>&1 || LAST_RC=$?
    ((LAST_RC == 0)) || cat "$dir.log" >&2
    return 0
}

begin_case "two packs in two folders with one SOURCE_DATE_EPOCH: the same bytes"
timed "pack in folder a" pack "$work/a"
timed "pack in folder b" pack "$work/elsewhere/b"
a=$(sha256sum <"$work/a/corvath-sp.exe" | cut -c1-64)
b=$(sha256sum <"$work/elsewhere/b/corvath-sp.exe" | cut -c1-64)
log "sha256: a $a, b $b"
assert_eq "$a" "$b" "SHA-256 of both packs"
# The version resource's value follows its key (the code's own "Build Date" is followed by others).
assert_eq "14.11.2023" "$(strings -el "$work/a/corvath-sp.exe" | sed -n '/^Build Date$/{n;p}' | tail -n 1)" \
    "the build date is SOURCE_DATE_EPOCH's day"
assert_eq "" "$(grep -aF -e "$work" -e "$CORVATH_PACKER_DIR" "$work/a/corvath-sp.exe" | head -c 80)" \
    "no folder of the packer's in the pack"

begin_case "corvath-sp-pack.exe under Wine: the same bytes, from a folder no ANSI code page names"
fresh_prefix release
C="$WINEPREFIX/drive_c"
mkdir -p "$C/パック"
cp "$CORVATH_PACKER_DIR/corvath-sp-pack.exe" "$CORVATH_PACKER_DIR/corvath-sp-base.exe" "$C/パック/"
cp "$sample" "$C/パック/修正.msp"
cp "$(sample_file record206.txt)" "$C/パック/record206.txt"
(cd "$C" && timed "pack under Wine" run_traced "$work/wine-pack.trace" -- wine 'C:\パック\corvath-sp-pack.exe' \
    'C:\パック\修正.msp' -o 'C:\パック\corvath-sp.exe' --record 'C:\パック\record206.txt')
assert_eq "$a" "$(sha256sum <"$C/パック/corvath-sp.exe" | cut -c1-64)" "SHA-256 of the pack made on Windows"
assert_eq "$(sha256sum <"$work/a/corvath-sp.deployment.txt")" \
    "$(sha256sum <"$C/パック/corvath-sp.deployment.txt")" "the same sheet beside it"

begin_case "a throwaway authority and code-signing certificate, made here"
keys="$work/keys"
mkdir -p "$keys"
(
    cd "$keys"
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
        -subj "/CN=Corvath test authority" -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" &&
        openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
            -subj "/CN=Corvath test release engineering" &&
        printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext &&
        openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
            -extfile signer.ext -out signer.pem &&
        openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.p12 \
            -passout pass:corvath-test-password
) >"$work/openssl.log" 2>&1 || die "openssl could not make the test certificates (see $work/openssl.log)"
pass "certificates made"

begin_case "--sign: the pack is signed and verifies; the packer says the base's signature went"
osslsigncode sign -pkcs12 "$keys/signer.p12" -pass corvath-test-password -h sha256 \
    -in "$CORVATH_PACKER_DIR/corvath-sp-base.exe" -out "$work/signed-base.exe" >/dev/null 2>&1 ||
    die "could not sign the base"
CORVATH_SP_SIGN_PASSWORD=corvath-test-password timed "signed pack" \
    pack "$work/a" --sign "$keys/signer.p12" --base "$work/signed-base.exe"
assert_eq 0 "$LAST_RC" "the signed pack"
assert_contains "$(cat "$work/a.log")" "signature does not cover the pack and was dropped" \
    "one line: the base's signature was dropped"
signed="$work/a/corvath-sp.exe"
verify=$(osslsigncode verify -CAfile "$keys/ca.pem" -in "$signed" 2>&1) && rc=0 || rc=$?
log "$verify"
assert_eq 0 "$rc" "osslsigncode verify exit code"
assert_contains "$verify" "Signature verification: ok" "the signature verifies against the authority"
assert_eq "" "$(grep -rlF corvath-test-password "$work/a" "$work/a.log" 2>/dev/null)" \
    "the password is in no file the packer leaves"

begin_case "the signed pack still runs: /e writes the package byte for byte"
(cd "$WINEPREFIX/drive_c" && run_traced "$work/signed-e.trace" -- wine "$signed" /e 'C:\signed.msp')
assert_file_eq "$sample" "$WINEPREFIX/drive_c/signed.msp" "C:\\signed.msp"

begin_case "one byte changed: verification fails"
cp "$signed" "$work/tampered.exe"
printf '\x5a' | dd of="$work/tampered.exe" bs=1 seek=$(($(stat -c %s "$signed") / 2)) conv=notrunc 2>/dev/null
osslsigncode verify -CAfile "$keys/ca.pem" -in "$work/tampered.exe" >"$work/tampered.log" 2>&1 && rc=0 || rc=$?
assert_ne 0 "$rc" "osslsigncode verify fails"
assert_contains "$(cat "$work/tampered.log")" "MISMATCH" "the digest no longer matches"
