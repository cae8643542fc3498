# What the service pack carries. The compiler builds the base once; the packer (pack/) makes
# every pack from it and a patch. The defaults pack the sample; a release engineer packs a real
# patch with -DCORVATH_SP_PATCH=/path/to/their.msp (record 206 is then derived from the patch
# unless CORVATH_SP_RECORDS names the records), or runs corvath-sp-pack on its own.
set(CORVATH_SP_PATCH "" CACHE FILEPATH
  "Patch package (.msp) to pack; empty packs the sample patch")
set(CORVATH_SP_RECORDS "" CACHE STRING
  "Patch-list records, in id order from 206; an entry ID=FILE gives its id. Empty: record 206 derived from the patch")
set(CORVATH_SP_RECORD_TITLE "" CACHE STRING
  "PatchTitle of a derived record 206; empty: the patch's DisplayName")
set(CORVATH_SP_RECORD_DESCRIPTION "" CACHE STRING
  "PatchDesc of a derived record 206 (one line); empty: the patch's Description")
set(CORVATH_SP_TARGET_VERSION "" CACHE STRING
  "The version the pack brings a product to; empty: the version the patch's transforms upgrade to")
set(CORVATH_SP_APPLICABLE_VERSIONS "" CACHE STRING
  "Installed versions the pack applies to, each followed by a comma; empty: the versions the patch's transforms upgrade from")
set(CORVATH_SP_PACK_OPTIONS "" CACHE STRING
  "More options for corvath-sp-pack, ;-separated (--release-names FILE, --company TEXT, ...)")

set(CORVATH_SP_SIGN_PKCS12 "" CACHE FILEPATH
  "PKCS#12 file with the code-signing certificate and key; empty: the pack is not signed. The key's password is read from the environment variable CORVATH_SP_SIGN_PASSWORD when the pack is made")
set(CORVATH_SP_SIGN_TIMESTAMP_URL "" CACHE STRING
  "RFC 3161 time-stamp server for the signature (optional)")

# The base's build date, for its version resource: with SOURCE_DATE_EPOCH the day it names, the
# same in every time zone; otherwise today. The packer keeps it unless told otherwise.
function(corvath_write_base_config include_dir)
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    string(TIMESTAMP build_date "%d.%m.%Y" UTC)
  else()
    string(TIMESTAMP build_date "%d.%m.%Y")
  endif()
  file(MAKE_DIRECTORY ${include_dir})
  file(CONFIGURE OUTPUT ${include_dir}/base_config.h CONTENT
"// Generated: what the base's resource script takes from the build. The versions are the
// packer's to write.
#define CORVATH_SP_BUILD_DATE \"${build_date}\"
#define CORVATH_SP_TARGET_VERSION \"0.0.0.0\"
#define CORVATH_SP_TARGET_VERSION_COMMAS 0,0,0,0
#define CORVATH_SP_TARGET_BASE_COMMAS 0,0,0,0
#define CORVATH_SP_TARGET_BASE_TEXT \"0, 0, 0, 0\"
")
endfunction()

# The options of the pack a build makes from CORVATH_SP_* (the release engineer's own patch).
function(corvath_own_pack_arguments out_var)
  set(arguments "")
  foreach(record IN LISTS CORVATH_SP_RECORDS)
    list(APPEND arguments --record ${record})
  endforeach()
  foreach(option title:RECORD_TITLE description:RECORD_DESCRIPTION
          target-version:TARGET_VERSION applicable-versions:APPLICABLE_VERSIONS)
    string(REPLACE ":" ";" pair ${option})
    list(GET pair 0 flag)
    list(GET pair 1 variable)
    if(NOT CORVATH_SP_${variable} STREQUAL "")
      list(APPEND arguments --${flag} "${CORVATH_SP_${variable}}")
    endif()
  endforeach()
  list(APPEND arguments ${CORVATH_SP_PACK_OPTIONS})
  set(${out_var} ${arguments} PARENT_SCOPE)
endfunction()

# corvath_make_pack(OUTPUT file PATCH file PACKER program BASE file [SIGN] [DEPENDS ...]
#                   [ARGS ...])
# Runs the packer: OUTPUT from BASE and PATCH, with ARGS. The files beside a pack (its sheet and
# scripts) come with it. SIGN signs it when CORVATH_SP_SIGN_PKCS12 is set.
function(corvath_make_pack)
  cmake_parse_arguments(PARSE_ARGV 0 ARG "SIGN" "OUTPUT;PATCH;PACKER;BASE" "DEPENDS;ARGS")
  set(arguments ${ARG_ARGS})
  if(ARG_SIGN AND CORVATH_SP_SIGN_PKCS12)
    get_filename_component(pkcs12 "${CORVATH_SP_SIGN_PKCS12}" ABSOLUTE)
    if(NOT EXISTS "${pkcs12}")
      message(FATAL_ERROR " CORVATH_SP_SIGN_PKCS12 ${pkcs12}: names no file")
    endif()
    list(APPEND arguments --sign ${pkcs12})
    list(APPEND ARG_DEPENDS ${pkcs12})
    if(CORVATH_SP_SIGN_TIMESTAMP_URL)
      list(APPEND arguments --timestamp-url ${CORVATH_SP_SIGN_TIMESTAMP_URL})
    endif()
  endif()
  get_filename_component(directory "${ARG_OUTPUT}" DIRECTORY)
  get_filename_component(stem "${ARG_OUTPUT}" NAME_WLE)
  set(beside "")
  foreach(suffix deployment.txt detection.txt detection.ps1 requirement.ps1)
    list(APPEND beside ${directory}/${stem}.${suffix})
  endforeach()
  add_custom_command(OUTPUT ${ARG_OUTPUT}
    BYPRODUCTS ${beside}
    COMMAND ${ARG_PACKER} ${ARG_PATCH} -o ${ARG_OUTPUT} --base ${ARG_BASE} ${arguments}
    DEPENDS ${ARG_PATCH} ${ARG_BASE} ${ARG_PACKER} ${ARG_DEPENDS}
    COMMENT "Packing ${ARG_OUTPUT}"
    VERBATIM)
endfunction()
