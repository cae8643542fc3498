# corvath_check_patch(CHECKER FILE WHAT TARGET APPLICABLE OUT_PREFIX [FACTS file SCRIPT file]
#                     [TOOLCHAIN msvc])
#   Runs the pack checker (msp/, corvath-pack-check) on a patch package. A patch that Windows
#   Installer would refuse must stop the release engineer's build, not show as 300 or 308 on
#   customers' machines: a refusal stops with one line, the option or file and the rule it
#   breaks; each warning and note prints one line and the build goes on, and so do the lines that
#   say how a deployment detects the pack. TARGET and APPLICABLE are the pack's options as given
#   (empty: the checker takes them from the patch's transforms). Sets OUT_PREFIX_CODE,
#   OUT_PREFIX_TARGET, OUT_PREFIX_APPLICABLE and OUT_PREFIX_UPGRADED (the product codes a
#   major-upgrade patch moves products to, ";"-separated); FACTS and SCRIPT name the detection files to
#   write. TOOLCHAIN msvc holds the patch to what Microsoft's resource compiler and linker carry.
#
# cmake -DCHECKER=<program> -DPATCH=<file.msp> -DWHAT=<option> -DOUT=<header>
#       -DTARGET_VERSION=<v> -DAPPLICABLE_VERSIONS=<l> -DFACTS=<file> -DSCRIPT=<file>
#       [-DTOOLCHAIN=msvc]
#       -P PatchDigest.cmake
#   Checks the patch about to be embedded, then writes its SHA-256, its patch code and the pack's
#   versions as defines for the resource script: the run log names the package it carries without
#   hashing 16 MB at every run, and a run knows which pack it is before it extracts anything.
#   Writes the detection facts and script beside the pack. Rewritten only when it changes.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25) # the project's policies, for the function below too
endif()

function(corvath_check_patch checker file what target applicable out_prefix)
  cmake_parse_arguments(PARSE_ARGV 6 ARG "" "FACTS;SCRIPT;TOOLCHAIN" "")
  set(command "${checker}" "${file}")
  if(NOT target STREQUAL "")
    list(APPEND command --target-version "${target}")
  endif()
  if(NOT applicable STREQUAL "")
    list(APPEND command --applicable-versions "${applicable}")
  endif()
  if(ARG_FACTS)
    list(APPEND command --facts-out "${ARG_FACTS}")
  endif()
  if(ARG_SCRIPT)
    list(APPEND command --script-out "${ARG_SCRIPT}")
  endif()
  if(ARG_TOOLCHAIN)
    list(APPEND command --toolchain "${ARG_TOOLCHAIN}")
  endif()
  execute_process(COMMAND ${command} OUTPUT_VARIABLE report RESULT_VARIABLE status)
  string(REPLACE "\r" "" report "${report}")
  # Line by line, never as a list: a rule may hold a ";". The leading blank keeps CMake from
  # wrapping the line.
  foreach(key code target applicable upgraded)
    set(found_${key} "")
  endforeach()
  while(report MATCHES "^([a-z]+)=([^\n]*)\n(.*)$")
    set(key "${CMAKE_MATCH_1}")
    set(value "${CMAKE_MATCH_2}")
    set(report "${CMAKE_MATCH_3}")
    if(key STREQUAL "warn")
      message(NOTICE " ${what} ${file}: warning: ${value}")
    elseif(key STREQUAL "note" OR key STREQUAL "detect")
      message(NOTICE " ${what} ${file}: ${value}")
    elseif(key STREQUAL "refuse")
      message(FATAL_ERROR " ${what} ${file}: ${value}")
    elseif(key STREQUAL "code" OR key STREQUAL "target" OR key STREQUAL "applicable" OR
           key STREQUAL "upgraded")
      set(found_${key} "${value}")
    endif()
  endwhile()
  if(NOT status EQUAL 0 OR found_code STREQUAL "")
    message(FATAL_ERROR " ${what} ${file}: the pack checker ${checker} failed (${status})")
  endif()
  foreach(key code target applicable upgraded)
    string(TOUPPER ${key} upper)
    set(${out_prefix}_${upper} "${found_${key}}" PARENT_SCOPE)
  endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  corvath_check_patch("${CHECKER}" "${PATCH}" "${WHAT}" "${TARGET_VERSION}"
    "${APPLICABLE_VERSIONS}" patch FACTS "${FACTS}" SCRIPT "${SCRIPT}" TOOLCHAIN "${TOOLCHAIN}")
  file(SHA256 "${PATCH}" digest)
  # The version resource wants the target as numbers with commas, and its release as x.y.0.0.
  string(REPLACE "." ";" fields "${patch_TARGET}")
  list(GET fields 0 major)
  list(GET fields 1 minor)
  string(REPLACE "." "," version_commas "${patch_TARGET}")
  set(content "// Generated: the embedded patch's SHA-256 and code, and the versions of the pack.
#define CORVATH_SP_PATCH_SHA256 \"${digest}\"
#define CORVATH_SP_PATCH_CODE \"${patch_CODE}\"
#define CORVATH_SP_TARGET_VERSION \"${patch_TARGET}\"
#define CORVATH_SP_TARGET_VERSION_COMMAS ${version_commas}
#define CORVATH_SP_TARGET_BASE_COMMAS ${major},${minor},0,0
#define CORVATH_SP_TARGET_BASE_TEXT \"${major}, ${minor}, 0, 0\"
#define CORVATH_SP_APPLICABLE_VERSIONS \"${patch_APPLICABLE}\"
#define CORVATH_SP_UPGRADED_CODES L\"${patch_UPGRADED}\\0\"
")
  if(EXISTS "${OUT}")
    file(READ "${OUT}" old)
  endif()
  if(NOT old STREQUAL content)
    file(WRITE "${OUT}" "${content}")
  endif()
endif()
