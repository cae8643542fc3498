# What the service pack carries. The defaults build the sample; a release engineer builds a pack
# from a real patch with -DCORVATH_SP_PATCH=/path/to/their.msp (record 206 is then derived from
# the patch unless CORVATH_SP_RECORDS names the records).
set(CORVATH_SP_PATCH "" CACHE FILEPATH
  "Patch package (.msp) to embed; empty embeds the sample patch")
set(CORVATH_SP_RECORDS "" CACHE STRING
  "Patch-list records to embed, in id order from 206; an entry ID=FILE gives its id. Empty: record 206 of the sample, or derived from CORVATH_SP_PATCH")
set(CORVATH_SP_RECORD_TITLE "Corvath 8.2 Service Pack 1 (x64)" CACHE STRING
  "PatchTitle of a derived record 206")
set(CORVATH_SP_RECORD_DESCRIPTION "Service pack for Corvath." CACHE STRING
  "PatchDesc of a derived record 206 (one line)")
set(CORVATH_SP_TARGET_VERSION "" CACHE STRING
  "The version the pack brings a product to (catalogue entry 700); empty: the version the patch's transforms upgrade to")
set(CORVATH_SP_APPLICABLE_VERSIONS "" CACHE STRING
  "Installed versions the pack applies to, each followed by a comma (catalogue entry 900); empty: the versions the patch's transforms upgrade from")

set(CORVATH_SP_SIGN_PKCS12 "" CACHE FILEPATH
  "PKCS#12 file with the code-signing certificate and key; empty: corvath-sp.exe is not signed. The key's password is read from the environment variable CORVATH_SP_SIGN_PASSWORD when the pack is built")
set(CORVATH_SP_SIGN_TIMESTAMP_URL "" CACHE STRING
  "RFC 3161 time-stamp server for the signature (optional)")

include(${CMAKE_CURRENT_LIST_DIR}/PatchDigest.cmake) # corvath_check_patch

# Microsoft's rc.exe and link.exe carry less than MinGW's tools: the checker holds the patch to it.
set(CORVATH_PACK_TOOLCHAIN "")
if(MSVC)
  set(CORVATH_PACK_TOOLCHAIN msvc)
endif()

# What a deployment needs to detect the pack, written beside it whenever its patch is checked.
set(CORVATH_PACK_DETECTION_FACTS ${CMAKE_BINARY_DIR}/corvath-sp.detection.txt)
set(CORVATH_PACK_DETECTION_SCRIPT ${CMAKE_BINARY_DIR}/corvath-sp.detection.ps1)

# The pack checker (msp/) reads the patch when the pack is configured and again whenever it is
# built. It is built here, for this machine, with the generator of this build but never its
# cross toolchain; every configure brings it up to date, and a change to msp/ reconfigures.
function(corvath_build_pack_checker out_var)
  set(source_dir ${CMAKE_SOURCE_DIR}/msp)
  set(binary_dir ${CMAKE_BINARY_DIR}/pack-check)
  set(configure -S ${source_dir} -B ${binary_dir} -G ${CMAKE_GENERATOR})
  if(CMAKE_GENERATOR_PLATFORM)
    list(APPEND configure -A ${CMAKE_GENERATOR_PLATFORM})
  endif()
  if(CMAKE_GENERATOR_TOOLSET)
    list(APPEND configure -T ${CMAKE_GENERATOR_TOOLSET})
  endif()
  if(CMAKE_MAKE_PROGRAM)
    list(APPEND configure -DCMAKE_MAKE_PROGRAM=${CMAKE_MAKE_PROGRAM})
  endif()
  set(build --build ${binary_dir} --target corvath-pack-check)
  set(program_dir ${binary_dir})
  get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
  if(multi_config)
    list(APPEND build --config Release)
    set(program_dir ${binary_dir}/Release)
  else()
    # Unoptimised: it reads a few kilobytes, and a second less of compiling is a second less of
    # every fresh configure.
    list(APPEND configure -DCMAKE_BUILD_TYPE=)
  endif()
  # A toolchain file named in the environment would make it a cross build too.
  foreach(step IN ITEMS configure build)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env --unset=CMAKE_TOOLCHAIN_FILE ${CMAKE_COMMAND} ${${step}}
      OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "The pack checker (msp/) did not ${step}:\n${log}")
    endif()
  endforeach()
  file(GLOB_RECURSE sources ${source_dir}/*)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${sources})
  set(suffix "")
  if(CMAKE_HOST_WIN32)
    set(suffix .exe)
  endif()
  set(${out_var} ${program_dir}/corvath-pack-check${suffix} PARENT_SCOPE)
endfunction()

# CORVATH_SP_APPLICABLE_VERSIONS, when given: one or more four-part versions, each followed by a
# comma.
function(corvath_check_applicable_versions value)
  if(NOT value STREQUAL "" AND NOT value MATCHES "^([0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+,)+$")
    message(FATAL_ERROR " CORVATH_SP_APPLICABLE_VERSIONS \"${value}\": must be one or more "
      "four-part versions, each followed by a comma (8.1.0.4, or 8.1.0.4,8.1.0.5,); a version "
      "without its comma is never compared, and every product would get 308")
  endif()
endfunction()

# corvath_sign_pack(TARGET): signs the target's file after every link, when a certificate is set.
function(corvath_sign_pack target)
  if(NOT CORVATH_SP_SIGN_PKCS12)
    return()
  endif()
  get_filename_component(pkcs12 "${CORVATH_SP_SIGN_PKCS12}" ABSOLUTE)
  if(NOT EXISTS "${pkcs12}")
    message(FATAL_ERROR " CORVATH_SP_SIGN_PKCS12 ${pkcs12}: names no file")
  endif()
  find_program(CORVATH_OSSLSIGNCODE osslsigncode REQUIRED)
  set(signing_time "")
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(signing_time "$ENV{SOURCE_DATE_EPOCH}")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:${target}> -DPKCS12=${pkcs12}
      -DOSSLSIGNCODE=${CORVATH_OSSLSIGNCODE} -DTIMESTAMP_URL=${CORVATH_SP_SIGN_TIMESTAMP_URL}
      -DSIGNING_TIME=${signing_time} -P ${CMAKE_SOURCE_DIR}/cmake/SignPack.cmake
    COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
    VERBATIM)
endfunction()

# CORVATH_SP_TARGET_VERSION, when given, reads like 8.2.0.5.
function(corvath_check_target_version version)
  if(NOT version STREQUAL "" AND NOT version MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "CORVATH_SP_TARGET_VERSION must read like 8.2.0.5, not '${version}'")
  endif()
endfunction()

# Writes DIR/records.rc naming RECORDS (files in id order from 206, or ID=FILE entries) as
# resources of type TXT; sets OUT_FILES to the files it names.
function(corvath_write_records_rc dir records out_files)
  set(records_rc "// Generated: the patch-list records, under Brazilian Portuguese like the patch.\n")
  string(APPEND records_rc "LANGUAGE LANG_PORTUGUESE, SUBLANG_PORTUGUESE_BRAZILIAN\n")
  set(next_id 206)
  set(files "")
  foreach(entry IN LISTS records)
    if(entry MATCHES "^([0-9]+)=(.+)$")
      set(id ${CMAKE_MATCH_1})
      set(file ${CMAKE_MATCH_2})
    else()
      set(id ${next_id})
      set(file ${entry})
    endif()
    get_filename_component(file "${file}" ABSOLUTE)
    file(TO_CMAKE_PATH "${file}" file)
    string(APPEND records_rc "${id} TXT \"${file}\"\n")
    list(APPEND files ${file})
    math(EXPR next_id "${id} + 1")
  endforeach()
  file(MAKE_DIRECTORY ${dir})
  file(CONFIGURE OUTPUT ${dir}/records.rc CONTENT "${records_rc}")
  set(${out_files} ${files} PARENT_SCOPE)
endfunction()

# Generates sp_config.h and records.rc for resources/corvath-sp.rc and sets, in the caller's
# scope: CORVATH_PACK_RC, CORVATH_PACK_INCLUDE_DIR, CORVATH_PACK_DEPENDS (files the compiled
# resources read) and the target corvath_pack_inputs that makes them.
function(corvath_configure_pack)
  set(include_dir ${CMAKE_BINARY_DIR}/pack)
  file(MAKE_DIRECTORY ${include_dir})

  # What a pack is built from is checked now, and again whenever the pack is built.
  corvath_check_target_version("${CORVATH_SP_TARGET_VERSION}")
  corvath_check_applicable_versions("${CORVATH_SP_APPLICABLE_VERSIONS}")
  corvath_build_pack_checker(checker)
  if(CORVATH_SP_PATCH)
    get_filename_component(patch "${CORVATH_SP_PATCH}" ABSOLUTE)
    corvath_check_patch("${checker}" "${patch}" CORVATH_SP_PATCH "${CORVATH_SP_TARGET_VERSION}"
      "${CORVATH_SP_APPLICABLE_VERSIONS}" given TOOLCHAIN "${CORVATH_PACK_TOOLCHAIN}")
    message(STATUS "The pack brings ${given_TARGET} and applies to ${given_APPLICABLE}")
    set(patch_option CORVATH_SP_PATCH)
    set(makers "")
  else()
    set(patch ${CORVATH_SAMPLE_PATCH})
    set(patch_option "The sample patch")
    set(makers corvath_sample)
  endif()

  set(records ${CORVATH_SP_RECORDS})
  if(NOT records AND NOT CORVATH_SP_PATCH)
    set(records ${CORVATH_SAMPLE_RECORD})
  elseif(NOT records)
    if(NOT CORVATH_TOOLS_DIR)
      message(FATAL_ERROR "Deriving record 206 needs the host tools; pass CORVATH_SP_RECORDS instead")
    endif()
    set(records ${include_dir}/record206.txt)
    # Without the option, the record tool takes the version from the patch, as the checker does.
    set(version_option "")
    if(NOT CORVATH_SP_TARGET_VERSION STREQUAL "")
      set(version_option --version ${CORVATH_SP_TARGET_VERSION})
    endif()
    add_custom_command(OUTPUT ${records}
      COMMAND ${CORVATH_TOOLS_DIR}/corvath-patch-record --msp ${patch}
        ${version_option} --title ${CORVATH_SP_RECORD_TITLE}
        --desc ${CORVATH_SP_RECORD_DESCRIPTION} --out ${records}
      DEPENDS ${patch} ${CORVATH_TOOL_TARGETS}
      COMMENT "Deriving patch-list record 206 from ${patch}"
      VERBATIM)
  endif()

  corvath_write_records_rc(${include_dir} "${records}" record_files)

  file(TO_CMAKE_PATH "${patch}" patch_rc)
  # With SOURCE_DATE_EPOCH, the day it names, the same in every time zone; otherwise today.
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    string(TIMESTAMP build_date "%d.%m.%Y" UTC)
  else()
    string(TIMESTAMP build_date "%d.%m.%Y")
  endif()
  # The versions come with the patch's digest (patch_digest.h): the sample's patch is only made
  # when the pack is built.
  file(CONFIGURE OUTPUT ${include_dir}/sp_config.h CONTENT
"// Generated from the pack options of the build.
#define CORVATH_SP_PATCH_FILE \"${patch_rc}\"
#define CORVATH_SP_BUILD_DATE \"${build_date}\"
")

  set(digest_header ${include_dir}/patch_digest.h)
  add_custom_command(OUTPUT ${digest_header}
    COMMAND ${CMAKE_COMMAND} -DCHECKER=${checker} -DPATCH=${patch} -DWHAT=${patch_option}
      -DOUT=${digest_header} "-DTARGET_VERSION=${CORVATH_SP_TARGET_VERSION}"
      "-DAPPLICABLE_VERSIONS=${CORVATH_SP_APPLICABLE_VERSIONS}"
      -DFACTS=${CORVATH_PACK_DETECTION_FACTS} -DSCRIPT=${CORVATH_PACK_DETECTION_SCRIPT}
      "-DTOOLCHAIN=${CORVATH_PACK_TOOLCHAIN}"
      -P ${CMAKE_SOURCE_DIR}/cmake/PatchDigest.cmake
    BYPRODUCTS ${CORVATH_PACK_DETECTION_FACTS} ${CORVATH_PACK_DETECTION_SCRIPT}
    DEPENDS ${patch} ${checker} ${CMAKE_SOURCE_DIR}/cmake/PatchDigest.cmake
    COMMENT "Checking the patch to embed, taking its SHA-256 and the pack's versions"
    VERBATIM)

  add_custom_target(corvath_pack_inputs DEPENDS ${patch} ${record_files} ${digest_header})
  if(makers)
    add_dependencies(corvath_pack_inputs ${makers})
  endif()

  file(GLOB_RECURSE resource_sources CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/resources/*.rc ${CMAKE_SOURCE_DIR}/resources/*.manifest
    ${CMAKE_SOURCE_DIR}/resources/*.ico ${CMAKE_SOURCE_DIR}/resources/*.h)
  set(CORVATH_PACK_RC ${CMAKE_SOURCE_DIR}/resources/corvath-sp.rc PARENT_SCOPE)
  set(CORVATH_PACK_INCLUDE_DIR ${include_dir} PARENT_SCOPE)
  set(CORVATH_PACK_DEPENDS ${patch} ${record_files} ${resource_sources}
    ${include_dir}/sp_config.h ${include_dir}/records.rc ${digest_header} PARENT_SCOPE)
endfunction()

# The host build reads the very resources the Windows build links: compiled by MinGW's windres.
# RECORDS_DIR, when given, holds a records.rc that replaces the pack's.
function(corvath_compile_res output)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "RECORDS_DIR" "")
  find_program(CORVATH_WINDRES NAMES x86_64-w64-mingw32-windres windres REQUIRED)
  set(includes -I ${CORVATH_PACK_INCLUDE_DIR} -I ${CMAKE_SOURCE_DIR}/resources)
  if(ARG_RECORDS_DIR)
    set(includes -I ${ARG_RECORDS_DIR} ${includes})
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${CORVATH_WINDRES} ${includes} -O res -o ${output} ${CORVATH_PACK_RC}
    DEPENDS ${CORVATH_PACK_RC} ${CORVATH_PACK_DEPENDS} corvath_pack_inputs
    COMMENT "Compiling the resource script for the host build"
    VERBATIM)
endfunction()
