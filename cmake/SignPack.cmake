# cmake -DEXE=<file> -DPKCS12=<file.p12> -DOSSLSIGNCODE=<program> [-DTIMESTAMP_URL=<url>]
#       [-DSIGNING_TIME=<unix time>] -P SignPack.cmake
# Signs EXE in place (Authenticode, SHA-256). The key's password comes from the environment
# variable CORVATH_SP_SIGN_PASSWORD at build time, so that it is in neither the CMake cache nor
# a command line the build prints; it reaches osslsigncode through a file only its owner may
# read, removed again whatever happens.
set(password_file "${EXE}.signing-password")
set(arguments sign -pkcs12 "${PKCS12}" -h sha256 -in "${EXE}" -out "${EXE}.signed")
if(DEFINED ENV{CORVATH_SP_SIGN_PASSWORD})
  file(TOUCH "${password_file}")
  file(CHMOD "${password_file}" PERMISSIONS OWNER_READ OWNER_WRITE)
  file(WRITE "${password_file}" "$ENV{CORVATH_SP_SIGN_PASSWORD}")
  list(APPEND arguments -readpass "${password_file}")
endif()
if(TIMESTAMP_URL)
  list(APPEND arguments -ts "${TIMESTAMP_URL}")
endif()
if(SIGNING_TIME)
  # The same signing time in every rebuild: a signature of the same bytes with the same key is
  # then the same too.
  list(APPEND arguments -time "${SIGNING_TIME}")
endif()
file(REMOVE "${EXE}.signed")
execute_process(COMMAND "${OSSLSIGNCODE}" ${arguments}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE "${password_file}")
if(NOT result EQUAL 0)
  string(REPLACE "\n" " " output "${output}")
  message(FATAL_ERROR " signing ${EXE} with ${PKCS12} failed: ${output}")
endif()
file(RENAME "${EXE}.signed" "${EXE}")
