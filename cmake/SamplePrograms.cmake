# The host build needs the sample's Windows programs (the 8.2.0.5 host program goes into the
# patch): they are cross-built with MinGW as a project of their own.
include(ExternalProject)
set(CORVATH_PROGRAMS_DIR ${CMAKE_BINARY_DIR}/programs)
ExternalProject_Add(corvath_sample_programs
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/samples/programs
  BINARY_DIR ${CORVATH_PROGRAMS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${CORVATH_PROGRAMS_DIR}/corvath-8.0.0.0.exe ${CORVATH_PROGRAMS_DIR}/corvath-8.1.0.4.exe
    ${CORVATH_PROGRAMS_DIR}/corvath-8.2.0.5.exe ${CORVATH_PROGRAMS_DIR}/corvath-probe.exe)
set(CORVATH_PROGRAM_TARGETS corvath_sample_programs)
