set(TORVELIN_RECORDSTOOL_SOURCES
    recordstool/recordstool.h recordstool/recordstool.cpp
    recordstool/verb.h
    recordstool/verbsupport.h recordstool/verbsupport.cpp
    recordstool/amendverb.cpp
    recordstool/exportverb.cpp
    recordstool/initverb.cpp
    recordstool/programverb.cpp
    recordstool/verificationverb.cpp
    recordstool/suspectsverb.cpp
    recordstool/statsverb.cpp
)
