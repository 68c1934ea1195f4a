set(TORVELIN_SESSION_SOURCES
    session/testsession.h session/testsession.cpp
    session/testrun.h session/testrun.cpp
    session/linegaptracker.h session/linegaptracker.cpp
    session/programtestsetting.h session/programtestsetting.cpp
    session/processwatch.h session/processwatch.cpp
)
