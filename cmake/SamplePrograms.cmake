# The sample's Windows programs (the 8.2.0.5 host program goes into the patch), cross-built with
# MinGW as a project of their own: the shared sample build (samples/CMakeLists.txt) is native.
include(ExternalProject)
set(_corvath_programs_root "${CMAKE_CURRENT_LIST_DIR}/..")
set(CORVATH_PROGRAMS_DIR ${CMAKE_BINARY_DIR}/programs)
ExternalProject_Add(corvath_sample_programs
  SOURCE_DIR ${_corvath_programs_root}/samples/programs
  BINARY_DIR ${CORVATH_PROGRAMS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_TOOLCHAIN_FILE=${_corvath_programs_root}/cmake/mingw-w64-x86_64.cmake
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${CORVATH_PROGRAMS_DIR}/corvath-8.0.0.0.exe ${CORVATH_PROGRAMS_DIR}/corvath-8.1.0.4.exe
    ${CORVATH_PROGRAMS_DIR}/corvath-8.2.0.5.exe ${CORVATH_PROGRAMS_DIR}/corvath-probe.exe
    ${CORVATH_PROGRAMS_DIR}/corvath-agent.exe)
set(CORVATH_PROGRAM_TARGETS corvath_sample_programs)
