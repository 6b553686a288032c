# The host tool that writes the Win32 windows' pictures with the Qt windows'
# drawing code (render_pictures.cpp). Included by the Qt windows' CMake only
# when ZUVI_WIN32_PICTURES_TOOL is on, which the Windows cross build sets for
# the host build it makes of this source tree; a plain Linux build has no
# trace of it.
find_package(Qt6 REQUIRED COMPONENTS Svg)
add_executable(zuvi_win32_pictures ${CMAKE_CURRENT_LIST_DIR}/render_pictures.cpp)
target_link_libraries(zuvi_win32_pictures PRIVATE zuvi_ui Qt6::Svg zuvi_options)
# Both tools in one known place, where the cross build runs them.
set_target_properties(zuvi_win32_pictures make_about_picture PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/win32-picture-tools)
