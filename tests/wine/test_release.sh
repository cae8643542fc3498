#!/usr/bin/env bash
# Shipping a pack: two builds of the same sources and options with the same SOURCE_DATE_EPOCH,
# in two folders, give the same bytes; a build with a certificate signs corvath-sp.exe so that
# it verifies against its authority, runs under Wine, and a byte changed fails verification.
source "$(dirname "$0")/lib.sh"

: "${CORVATH_SOURCE_DIR:?set CORVATH_SOURCE_DIR to the source tree}"
work="$CORVATH_WINE_WORK_DIR/release"
rm -rf "$work"
mkdir -p "$work"
on_exit rm -rf "$work"
sample=$(sample_file corvath-sp-sample.msp)
export SOURCE_DATE_EPOCH=1700000000 # 14 November 2023, 22:13:20 UTC

# build DIR ARGS...: configures and builds corvath-sp.exe in DIR; status in LAST_RC.
build() {
    local dir=$1
    shift
    mkdir -p "$(dirname "$dir")"
    LAST_RC=0
    { cmake -S "$CORVATH_SOURCE_DIR" -B "$dir" -G Ninja \
        --toolchain "$CORVATH_SOURCE_DIR/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCORVATH_BUILD_SAMPLE=OFF -DCORVATH_SP_PATCH="$sample" \
        -DCORVATH_SP_RECORDS="$(sample_file record206.txt)" "$@" &&
        cmake --build "$dir" --target corvath-sp; } >"$dir.log" 2>&1 || LAST_RC=$?
    ((LAST_RC == 0)) || tail -n 20 "$dir.log" >&2
    return 0
}

begin_case "two builds in two folders with one SOURCE_DATE_EPOCH: the same bytes"
timed "build in folder a" build "$work/a"
timed "build in folder b" build "$work/elsewhere/b"
a=$(sha256sum <"$work/a/corvath-sp.exe" | cut -c1-64)
b=$(sha256sum <"$work/elsewhere/b/corvath-sp.exe" | cut -c1-64)
log "sha256: a $a, b $b"
assert_eq "$a" "$b" "SHA-256 of both builds"
# The version resource's value follows its key (the code's own "Build Date" is followed by others).
assert_eq "14.11.2023" "$(strings -el "$work/a/corvath-sp.exe" | sed -n '/^Build Date$/{n;p}' | tail -n 1)" \
    "the build date is SOURCE_DATE_EPOCH's day"
assert_eq "" "$(grep -aF -e "$work" -e "$CORVATH_SOURCE_DIR" "$work/a/corvath-sp.exe" | head -c 80)" \
    "no build or source folder in the binary"

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

begin_case "-DCORVATH_SP_SIGN_PKCS12: corvath-sp.exe is signed and verifies"
CORVATH_SP_SIGN_PASSWORD=corvath-test-password timed "signed build" \
    build "$work/a" -DCORVATH_SP_SIGN_PKCS12="$keys/signer.p12"
assert_eq 0 "$LAST_RC" "the signed build"
signed="$work/a/corvath-sp.exe"
verify=$(osslsigncode verify -CAfile "$keys/ca.pem" -in "$signed" 2>&1) && rc=0 || rc=$?
log "$verify"
assert_eq 0 "$rc" "osslsigncode verify exit code"
assert_contains "$verify" "Signature verification: ok" "the signature verifies against the authority"
assert_eq "" "$(grep -rlF corvath-test-password "$work/a" "$work/a.log" 2>/dev/null)" \
    "the password is in no file of the build (cache, build rules, log)"

begin_case "the signed pack still runs: /e writes the package byte for byte"
fresh_prefix release
(cd "$WINEPREFIX/drive_c" && run_traced "$work/signed-e.trace" -- wine "$signed" /e 'C:\signed.msp')
assert_file_eq "$sample" "$WINEPREFIX/drive_c/signed.msp" "C:\\signed.msp"

begin_case "one byte changed: verification fails"
cp "$signed" "$work/tampered.exe"
printf '\x5a' | dd of="$work/tampered.exe" bs=1 seek=$(($(stat -c %s "$signed") / 2)) conv=notrunc 2>/dev/null
osslsigncode verify -CAfile "$keys/ca.pem" -in "$work/tampered.exe" >"$work/tampered.log" 2>&1 && rc=0 || rc=$?
assert_ne 0 "$rc" "osslsigncode verify fails"
assert_contains "$(cat "$work/tampered.log")" "MISMATCH" "the digest no longer matches"
