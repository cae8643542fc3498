# The Windows build needs programs for the build machine, built natively apart from the cross
# toolchain: the packer, which makes every pack of the build and goes beside the base and
# corvath-sp-pack.exe in packer/ (what a release engineer takes), and, for the sample, the patch
# builder, whose programs land in CORVATH_TOOLS_DIR.
include(ExternalProject)
set(CORVATH_HOST_PACKER_DIR ${CMAKE_BINARY_DIR}/host-packer)
set(CORVATH_PACKER ${CMAKE_BINARY_DIR}/packer/corvath-sp-pack)
ExternalProject_Add(corvath_host_packer
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/pack
  BINARY_DIR ${CORVATH_HOST_PACKER_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
  BUILD_ALWAYS ON
  INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different
    ${CORVATH_HOST_PACKER_DIR}/corvath-sp-pack ${CORVATH_PACKER}
  BUILD_BYPRODUCTS ${CORVATH_PACKER})
set(CORVATH_PACKER_TARGET corvath_host_packer)

if(CORVATH_BUILD_SAMPLE)
  set(CORVATH_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
  ExternalProject_Add(corvath_host_tools
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
    BINARY_DIR ${CORVATH_TOOLS_DIR}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${CORVATH_TOOLS_DIR}/corvath-patch-builder
      ${CORVATH_TOOLS_DIR}/corvath-patch-record)
  set(CORVATH_TOOL_TARGETS corvath_host_tools)
endif()
