# cmake -DPATCH=<file.msp> -DWHAT=<option> -DOUT=<header> -P PatchDigest.cmake
# Checks the patch about to be embedded (PackChecks.cmake), then writes its SHA-256 and its patch
# code as defines for the resource script: the run log names the package it carries without
# hashing 16 MB at every run, and a run knows which pack it is before it extracts anything.
# Rewritten only when it changes.
include(${CMAKE_CURRENT_LIST_DIR}/PackChecks.cmake)
corvath_check_patch("${PATCH}" "${WHAT}" patch_code removable)
corvath_note_removability("${PATCH}" "${WHAT}" ${removable})
file(SHA256 "${PATCH}" digest)
set(content "// Generated: the SHA-256 and the patch code of the embedded patch.
#define CORVATH_SP_PATCH_SHA256 \"${digest}\"
#define CORVATH_SP_PATCH_CODE \"${patch_code}\"
")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUT}" "${content}")
endif()
