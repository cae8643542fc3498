# corvath_check_patch(CHECKER FILE WHAT CODE_VAR)
#   Runs the pack checker (msp/, corvath-pack-check) on a patch package. A patch that Windows
#   Installer would refuse must stop the release engineer's build, not show as 300 or 308 on
#   customers' machines: a refusal stops with one line, the option or file and the rule it
#   breaks; each warning prints one line and the build goes on. Sets CODE_VAR to the patch code.
#
# cmake -DCHECKER=<program> -DPATCH=<file.msp> -DWHAT=<option> -DOUT=<header> -P PatchDigest.cmake
#   Checks the patch about to be embedded, then writes its SHA-256 and its patch code as defines
#   for the resource script: the run log names the package it carries without hashing 16 MB at
#   every run, and a run knows which pack it is before it extracts anything. Rewritten only when
#   it changes.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25) # the project's policies, for the function below too
endif()

function(corvath_check_patch checker file what code_var)
  execute_process(COMMAND "${checker}" "${file}" OUTPUT_VARIABLE report RESULT_VARIABLE status)
  string(REPLACE "\r" "" report "${report}")
  # Line by line, never as a list: a rule may hold a ";". The leading blank keeps CMake from
  # wrapping the line.
  set(code "")
  while(report MATCHES "^([a-z]+)=([^\n]*)\n(.*)$")
    set(key "${CMAKE_MATCH_1}")
    set(value "${CMAKE_MATCH_2}")
    set(report "${CMAKE_MATCH_3}")
    if(key STREQUAL "warn")
      message(NOTICE " ${what} ${file}: warning: ${value}")
    elseif(key STREQUAL "refuse")
      message(FATAL_ERROR " ${what} ${file}: ${value}")
    elseif(key STREQUAL "code")
      set(code "${value}")
    endif()
  endwhile()
  if(NOT status EQUAL 0 OR code STREQUAL "")
    message(FATAL_ERROR " ${what} ${file}: the pack checker ${checker} failed (${status})")
  endif()
  set(${code_var} "${code}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  corvath_check_patch("${CHECKER}" "${PATCH}" "${WHAT}" patch_code)
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
endif()
