# Hosts built out of tree against an installed TORVEL, found by find_package.
cmake_minimum_required(VERSION 3.25)
project(torvel_consumer LANGUAGES C CXX)

find_package(TORVEL 1 CONFIG REQUIRED)

add_executable(c_host ${C_HOST_SOURCE})
target_link_libraries(c_host PRIVATE TORVEL::torvel ${CMAKE_DL_LIBS})

add_executable(cpp_host cpp_host.cpp)
target_compile_features(cpp_host PRIVATE cxx_std_17)
target_link_libraries(cpp_host PRIVATE TORVEL::hostsupport)

file(WRITE ${CMAKE_BINARY_DIR}/library.txt "${TORVEL_LIBRARY}")
