# nlohmann-json (Debian's nlohmann-json3-dev) is header-only, so the Windows
# programs use the same headers as the native one. The native build (and a
# build on Windows under MSYS2, with its own package) finds it by its CMake
# package. The MinGW cross compilers must not see the host's /usr/include,
# where glibc's headers would stand in for MinGW's: they get a folder of the
# build's own that holds one link, nlohmann -> the package's header folder.
if(CMAKE_CROSSCOMPILING)
  find_path(NLOHMANN_JSON_HOST_INCLUDE_DIR nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED
    DOC "The host's folder that holds nlohmann/json.hpp (nlohmann-json3-dev)")
  set(NLOHMANN_JSON_CROSS_INCLUDE_DIR ${CMAKE_BINARY_DIR}/nlohmann-json-include)
  file(MAKE_DIRECTORY ${NLOHMANN_JSON_CROSS_INCLUDE_DIR})
  file(CREATE_LINK ${NLOHMANN_JSON_HOST_INCLUDE_DIR}/nlohmann
    ${NLOHMANN_JSON_CROSS_INCLUDE_DIR}/nlohmann SYMBOLIC)
  add_library(nlohmann_json INTERFACE)
  target_include_directories(nlohmann_json SYSTEM INTERFACE ${NLOHMANN_JSON_CROSS_INCLUDE_DIR})
  add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)
else()
  find_package(nlohmann_json 3 REQUIRED)
endif()
