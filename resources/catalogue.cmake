# Runs lupdate over the program's sources and forms into a Chinese catalogue
# and lists every entry that is not decided: unfinished (no translation yet)
# or vanished/obsolete (its text is no longer in the code).
#   cmake -DLUPDATE=<lupdate> -DSOURCE_DIR=<tree> -DSOURCES_LIST=<file of sources>
#         -DCATALOGUE=<cn.ts> -DMODE=check|update [-DWORK_DIR=<dir>] [-DDROP_VANISHED=ON]
#         -P catalogue.cmake
# check: runs on a copy of CATALOGUE in WORK_DIR and fails when anything is
#        undecided (the build's catalogue test).
# update: rewrites CATALOGUE itself and reports what is left to translate
#        (scripts/update-catalogue); DROP_VANISHED removes the vanished entries.
# Texts that stay English (numbers, shortcuts, curve-file markers, units) are
# decided in the catalogue with their source as their translation.
cmake_minimum_required(VERSION 3.16)

foreach(var LUPDATE SOURCE_DIR SOURCES_LIST CATALOGUE MODE)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "catalogue.cmake: ${var} is not set")
    endif()
endforeach()

if(MODE STREQUAL "check")
    if(NOT DEFINED WORK_DIR)
        message(FATAL_ERROR "catalogue.cmake: WORK_DIR is not set")
    endif()
    file(REMOVE_RECURSE "${WORK_DIR}")
    file(MAKE_DIRECTORY "${WORK_DIR}")
    file(COPY "${CATALOGUE}" DESTINATION "${WORK_DIR}")
    get_filename_component(name "${CATALOGUE}" NAME)
    set(target "${WORK_DIR}/${name}")
elseif(MODE STREQUAL "update")
    set(target "${CATALOGUE}")
else()
    message(FATAL_ERROR "catalogue.cmake: MODE is check or update, not '${MODE}'")
endif()

# Without source locations the catalogue does not change when code moves, so
# that merges of colleagues' entries stay simple.
set(options -locations none -no-ui-lines -silent)
if(DROP_VANISHED OR "$ENV{DROP_VANISHED}")
    list(APPEND options -no-obsolete)
endif()
execute_process(
    COMMAND "${LUPDATE}" ${options} "@${SOURCES_LIST}" -ts "${target}"
    WORKING_DIRECTORY "${SOURCE_DIR}"
    RESULT_VARIABLE status
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status}):\n${output}")
endif()

# lupdate writes one element per line: <name> opens a context, <source> a
# message, <translation> closes it with its state.
file(READ "${target}" content)
string(REPLACE ";" "\\;" content "${content}")
string(REPLACE "\n" ";" lines "${content}")
set(context "")
set(source "")
set(undecided "")
set(count 0)
foreach(line IN LISTS lines)
    if(line MATCHES "^ *<name>(.*)</name>")
        set(context "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^ *<source>(.*)</source>")
        set(source "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^ *<source>(.*)")
        set(source "${CMAKE_MATCH_1}...")
    elseif(line MATCHES "<translation[^>]*type=\"(unfinished|vanished|obsolete)\"")
        set(state "${CMAKE_MATCH_1}")
        if(state STREQUAL "unfinished" AND line MATCHES "<translation[^>]*>[^<]+</translation>")
            set(state "unfinished (a translation waits to be confirmed: drop type=\"unfinished\")")
        elseif(NOT state STREQUAL "unfinished")
            set(state "${state} (no longer in the code: delete the entry)")
        endif()
        string(APPEND undecided "  ${context}: \"${source}\" ${state}\n")
        math(EXPR count "${count} + 1")
    endif()
endforeach()

if(count EQUAL 0)
    message(STATUS "${CATALOGUE}: every text is decided")
    return()
endif()
set(summary "${count} undecided entries in ${CATALOGUE}:\n${undecided}")
string(APPEND summary
    "scripts/update-catalogue brings new texts into the catalogue (with "
    "--drop-vanished it also deletes the vanished ones); give each unfinished "
    "entry its Chinese text, or its source text where it stays English by "
    "design, and remove its type=\"unfinished\".")
if(MODE STREQUAL "check")
    message(FATAL_ERROR "${summary}")
endif()
message(STATUS "${summary}")
