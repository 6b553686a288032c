# The about box's background picture: drawn at build time by a small host
# program through libjpeg's compressor, written into the build tree and
# compiled into the windows library as the resource :/about/about.jpg.
# Included from ui/qt/CMakeLists.txt after the zuvi_ui target exists; also links
# libjpeg, which the about box decodes the picture with.

find_package(JPEG REQUIRED)

add_executable(make_about_picture ${CMAKE_CURRENT_LIST_DIR}/make_about_picture.cpp)
target_link_libraries(make_about_picture PRIVATE JPEG::JPEG zuvi_options)

set(_about_dir ${CMAKE_CURRENT_BINARY_DIR}/about_picture)
set(_about_jpg ${_about_dir}/about.jpg)
set(_about_qrc ${_about_dir}/about_picture.qrc)
set(_about_cpp ${_about_dir}/qrc_about_picture.cpp)

add_custom_command(OUTPUT ${_about_jpg}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_about_dir}
    COMMAND make_about_picture ${_about_jpg}
    DEPENDS make_about_picture
    COMMENT "Drawing the about box picture")

file(WRITE ${_about_qrc}.in
    "<RCC>\n  <qresource prefix=\"/about\">\n    <file>about.jpg</file>\n  </qresource>\n</RCC>\n")
configure_file(${_about_qrc}.in ${_about_qrc} COPYONLY)

# rcc is run here rather than through AUTORCC so that it waits for the picture,
# which only exists once the host program has run.
add_custom_command(OUTPUT ${_about_cpp}
    COMMAND Qt6::rcc -name about_picture -o ${_about_cpp} ${_about_qrc}
    DEPENDS ${_about_jpg} ${_about_qrc}
    WORKING_DIRECTORY ${_about_dir}
    COMMENT "Embedding the about box picture")
set_source_files_properties(${_about_cpp} PROPERTIES GENERATED ON SKIP_AUTOGEN ON)

target_sources(zuvi_ui PRIVATE ${_about_cpp})
target_link_libraries(zuvi_ui PRIVATE JPEG::JPEG)
