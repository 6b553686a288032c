# The host's header-only JSON library, for a cross build. Its own package
# points at /usr/include, which also holds the host's C library headers; those
# must never reach the cross compiler, so only the library's folder is exposed.
set(_zuviJsonHeaders ${CMAKE_BINARY_DIR}/cross-headers)
if(NOT EXISTS ${_zuviJsonHeaders}/nlohmann/json.hpp)
    file(MAKE_DIRECTORY ${_zuviJsonHeaders})
    file(CREATE_LINK /usr/include/nlohmann ${_zuviJsonHeaders}/nlohmann SYMBOLIC)
endif()
if(NOT TARGET nlohmann_json::nlohmann_json)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${_zuviJsonHeaders})
endif()
