# torvelin_layer(FOLDER [LAYERS folder...] [LIBS target...] [PRIVATE_LIBS target...])
# One static library per folder, torvelin_FOLDER, from TORVELIN_FOLDER_SOURCES
# (FOLDER/sources.cmake). It links the folders below it that LAYERS names
# (the "May depend on" line of FOLDER/README.md, checked at configure time)
# and nothing else of the program.
#
# Its headers are seen only by the libraries that link it: each library
# exports an include root of its own that holds just its folder (a link to
# it), never the source root. An include of a folder that is not below it
# (one it links, or one that those link) is then a missing file, not a silent
# dependency: a folder can never reach up the layers.
set(TORVELIN_LAYER_ROOTS ${PROJECT_BINARY_DIR}/layers)

function(torvelin_layer folder)
    cmake_parse_arguments(L "" "" "LAYERS;LIBS;PRIVATE_LIBS" ${ARGN})
    string(TOUPPER ${folder} upper)
    set(target torvelin_${folder})
    add_library(${target} STATIC ${TORVELIN_${upper}_SOURCES})

    set(root ${TORVELIN_LAYER_ROOTS}/${folder})
    set(link ${root}/${folder})
    if(NOT IS_SYMLINK ${link})
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${link} RESULT failed SYMBOLIC)
        if(failed)
            # A file system without symbolic links (Windows without the
            # right to make them) builds, but cannot enforce the layers.
            message(WARNING "${link}: ${failed}; the layers are not enforced in this build")
            set(root ${PROJECT_SOURCE_DIR})
        endif()
    endif()
    target_include_directories(${target} PUBLIC ${root})

    list(TRANSFORM L_LAYERS PREPEND torvelin_ OUTPUT_VARIABLE layer_targets)
    target_link_libraries(${target} PUBLIC ${layer_targets} ${L_LIBS} PRIVATE ${L_PRIVATE_LIBS})

    # The README's "May depend on" line names exactly the folders linked here.
    # The line is the paragraph that starts with "May depend on"; a folder is
    # named in backticks, alone (`device/`) or with a file (`device/settings.h`).
    file(READ ${PROJECT_SOURCE_DIR}/${folder}/README.md readme)
    string(FIND "${readme}" "\nMay depend on" start)
    if(start EQUAL -1)
        message(FATAL_ERROR "${folder}/README.md has no \"May depend on\" line")
    endif()
    string(SUBSTRING "${readme}" ${start} -1 line)
    string(FIND "${line}" "\n\n" end)
    string(SUBSTRING "${line}" 0 ${end} line)
    string(REGEX MATCHALL "`[a-z]+/[^`]*`" named "${line}")
    list(TRANSFORM named REPLACE "`([a-z]+)/[^`]*`" "\\1")
    list(REMOVE_DUPLICATES named)
    list(SORT named)
    set(linked ${L_LAYERS})
    list(SORT linked)
    if(NOT "${named}" STREQUAL "${linked}")
        message(FATAL_ERROR "${folder}/README.md may depend on \"${named}\", "
                            "but ${target} links \"${linked}\"")
    endif()
    set_property(GLOBAL APPEND PROPERTY TORVELIN_LAYER_TARGETS ${target})
endfunction()
