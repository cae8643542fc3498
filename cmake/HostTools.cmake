# The Windows build needs the packer for the build machine, built natively apart from the cross
# toolchain: it makes every pack of the build and goes beside the base and corvath-sp-pack.exe in
# packer/ (what a release engineer takes). The sample's tools come from cmake/SharedSample.cmake.
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
