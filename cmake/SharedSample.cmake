# The sample (samples/CMakeLists.txt: the patch builder, the Windows programs, the products and
# the patch) as a project of its own in CORVATH_SHARED_DIR. The presets name the same folder, so
# the host, sanitize and windows builds share one build of it instead of each making its own;
# the tools run on the build machine, so no preset's compiler or sanitizers reach them.
# Sets CORVATH_SAMPLE_DIR, CORVATH_SAMPLE_PATCH, CORVATH_SAMPLE_RECORD and CORVATH_PROGRAMS_DIR;
# the target is `corvath_sample`.
include(ExternalProject)
set(CORVATH_SHARED_DIR ${CMAKE_BINARY_DIR}/shared CACHE PATH
  "Build folder of the sample, shared by the presets")
set(CORVATH_SAMPLE_DIR ${CORVATH_SHARED_DIR}/sample)
set(CORVATH_SAMPLE_PATCH ${CORVATH_SAMPLE_DIR}/corvath-sp-sample.msp)
set(CORVATH_SAMPLE_RECORD ${CORVATH_SAMPLE_DIR}/record206.txt)
set(CORVATH_PROGRAMS_DIR ${CORVATH_SHARED_DIR}/programs)
# Every preset configures it with the same options: a second configure leaves its build as is.
ExternalProject_Add(corvath_sample
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/samples
  BINARY_DIR ${CORVATH_SHARED_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  # What this build's rules read from it; Ninja needs to know where they come from.
  BUILD_BYPRODUCTS ${CORVATH_SAMPLE_PATCH} ${CORVATH_SAMPLE_RECORD}
    ${CORVATH_PROGRAMS_DIR}/corvath-8.2.0.5.exe ${CORVATH_PROGRAMS_DIR}/corvath-probe.exe)
