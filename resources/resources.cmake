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

# The catalogue check (a CTest test, tests/app) and scripts/update-catalogue
# run the same lupdate over the same files: every source and form of the
# program, as its targets list them.
set(TORVELIN_CATALOGUE_SOURCES ${CMAKE_CURRENT_BINARY_DIR}/resources/catalogue-sources.txt)
# What the build generates (moc, uic, rcc output) is left out. Forms are found
# by AUTOUIC, so not every one is listed with its target: all of forms/ goes in.
file(GLOB catalogue_forms CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/forms/*.ui)
get_property(catalogue_targets GLOBAL PROPERTY TORVELIN_LAYER_TARGETS)
set(catalogue_sources ${catalogue_forms})
foreach(target ${catalogue_targets} torvelin)
    list(APPEND catalogue_sources "$<TARGET_PROPERTY:${target},SOURCES>")
endforeach()
file(GENERATE OUTPUT ${TORVELIN_CATALOGUE_SOURCES}
    CONTENT "$<JOIN:$<FILTER:${catalogue_sources},EXCLUDE,^${CMAKE_CURRENT_BINARY_DIR}/>,\n>\n")
set(TORVELIN_CATALOGUE_COMMAND ${CMAKE_COMMAND}
    -DLUPDATE=$<TARGET_FILE:Qt5::lupdate>
    -DSOURCE_DIR=${CMAKE_CURRENT_SOURCE_DIR}
    -DSOURCES_LIST=${TORVELIN_CATALOGUE_SOURCES}
    -DCATALOGUE=${CMAKE_CURRENT_SOURCE_DIR}/resources/language/cn.ts)
add_custom_target(update-catalogue
    COMMAND ${TORVELIN_CATALOGUE_COMMAND} -DMODE=update
        -P ${CMAKE_CURRENT_SOURCE_DIR}/resources/catalogue.cmake
    VERBATIM)
