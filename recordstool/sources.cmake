# torvelin-records: main.cpp is the executable's own (the top-level
# CMakeLists.txt); the library holds the dispatcher and one file per verb (or
# verb group), each listed in verbs.h and in the table of recordstool.cpp.
set(TORVELIN_RECORDSTOOL_SOURCES
    recordstool/recordstool.h recordstool/recordstool.cpp
    recordstool/verb.h recordstool/verb.cpp
    recordstool/verbs.h
    recordstool/initverb.cpp
)
