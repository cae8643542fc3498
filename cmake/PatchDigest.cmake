# cmake -DPATCH=<file.msp> -DWHAT=<option> -DOUT=<header> -P PatchDigest.cmake
# Checks the patch about to be embedded (PackChecks.cmake), then writes its SHA-256 as a define
# for the resource script: the run log names the package it carries without hashing 16 MB at
# every run. Rewritten only when it changes.
include(${CMAKE_CURRENT_LIST_DIR}/PackChecks.cmake)
corvath_check_patch("${PATCH}" "${WHAT}")
file(SHA256 "${PATCH}" digest)
set(content "// Generated: the SHA-256 of the embedded patch.\n#define CORVATH_SP_PATCH_SHA256 \"${digest}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUT}" "${content}")
endif()
