# The Windows build needs the patch builder on the build machine: it is built natively, apart
# from the cross toolchain, and its programs land in CORVATH_TOOLS_DIR.
include(ExternalProject)
set(CORVATH_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
ExternalProject_Add(corvath_host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
  BINARY_DIR ${CORVATH_TOOLS_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${CORVATH_TOOLS_DIR}/corvath-patch-builder ${CORVATH_TOOLS_DIR}/corvath-patch-record)
set(CORVATH_TOOL_TARGETS corvath_host_tools)
