# Icons are committed PNGs (drawn from the SVG sources beside them); the
# Chinese catalogue is compiled from cn.ts by lrelease at build time.
set(TORVELIN_QM ${CMAKE_CURRENT_BINARY_DIR}/resources/cn.qm)
add_custom_command(OUTPUT ${TORVELIN_QM}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/resources
    COMMAND Qt5::lrelease -silent ${CMAKE_CURRENT_SOURCE_DIR}/resources/language/cn.ts -qm ${TORVELIN_QM}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/resources/language/cn.ts
    VERBATIM)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/resources/language.qrc
    CONTENT "<RCC>\n  <qresource prefix=\"/language\">\n    <file>cn.qm</file>\n  </qresource>\n</RCC>\n")
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/resources/qrc_language.cpp
    COMMAND Qt5::rcc --name language -o qrc_language.cpp language.qrc
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/resources
    DEPENDS ${TORVELIN_QM} ${CMAKE_CURRENT_BINARY_DIR}/resources/language.qrc
    VERBATIM)
add_library(torvelin_resources OBJECT
    resources/images.qrc
    ${CMAKE_CURRENT_BINARY_DIR}/resources/qrc_language.cpp)
target_link_libraries(torvelin_resources PRIVATE Qt5::Core)
