#!/usr/bin/env bash
# A msi.dll lying beside the pack (a downloads folder) must not be loaded in place of the
# system's. Wine prefers its own msi.dll whatever the folder; msi=n,b makes it search as Windows
# does, which the probe, a plain importer of msi.dll, shows by finding a "PLANTED" product.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

: "${CORVATH_PLANTED_MSI:?set CORVATH_PLANTED_MSI to the stand-in msi.dll}"
require_file "$CORVATH_SP_EXE" "corvath-sp.exe"
PACK_TRACES="$CORVATH_WINE_WORK_DIR/traces/dll-planting"
fresh_prefix dll-planting
downloads="$WINEPREFIX/drive_c/Downloads"
mkdir -p "$downloads"
cp "$CORVATH_PLANTED_MSI" "$downloads/msi.dll"
cp "$CORVATH_SP_EXE" "$downloads/corvath-sp.exe"
cp "$(probe_exe)" "$downloads/corvath-probe.exe"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;msi=n,b"

begin_case "a plain importer beside the stand-in loads it"
planted=$(cd "$downloads" && WINEDEBUG=-all wine 'C:\Downloads\corvath-probe.exe' "$(target_code 1)" | tr -d '\r')
assert_contains "$planted" "ProductName=PLANTED" "the probe's product comes from the stand-in"

begin_case "the pack beside the stand-in uses the system's msi.dll"
run_pack_exe 'C:\Downloads\corvath-sp.exe' planted
assert_contains "$(cut -f1 <<<"$BOXES")" "could not be located" "307: no product installed"
assert_not_contains "$BOXES" "PLANTED" "nothing from the stand-in"
assert_eq $((1642 & 255)) "$LAST_RC" "exit code 1642 (low byte)"

begin_case "the pack imports nothing Windows 7 lacks without KB2533623"
# A program that imports SetDefaultDllDirectories does not start there at all; the pack looks it
# up when it runs, and loads by full path where it is missing.
objdump=$(command -v x86_64-w64-mingw32-objdump) || die "x86_64-w64-mingw32-objdump is needed"
imports=$("$objdump" -p "$CORVATH_SP_EXE" | sed -n '/The Import Tables/,$p')
assert_contains "$imports" "DLL Name: KERNEL32.dll" "the import table was read"
for entry in SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory; do
    assert_not_contains "$imports" " $entry" "$entry is not imported"
done
