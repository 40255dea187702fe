# The Windows builds need programs that run on the build machine: the art
# generator (bitmaps for the resource script) and the archive tool (the game
# executable's archive on the disc). A cross build makes them natively, as a
# sub-build of this same source tree limited to those tools.
if(NOT CMAKE_CROSSCOMPILING)
  set(VEXLO_HOST_BIN ${CMAKE_BINARY_DIR}/bin)
  add_custom_target(host_tools)
  return()
endif()

include(ExternalProject)
set(VEXLO_HOST_BIN ${CMAKE_BINARY_DIR}/host-tools/bin)
# Under make the sub-build is a recursive $(MAKE): it shares the outer build's
# job slots and compiles in parallel (through "cmake --build" it got none and
# ran one job at a time).
if(CMAKE_GENERATOR MATCHES "Make")
  set(host_tools_build $(MAKE) vexlo_host_tools)
else()
  set(host_tools_build ${CMAKE_COMMAND} --build <BINARY_DIR> --target vexlo_host_tools)
endif()
ExternalProject_Add(host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVEXLO_HOST_TOOLS_ONLY=ON
  BUILD_COMMAND ${host_tools_build}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD OFF)
