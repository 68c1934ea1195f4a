set(TORVELIN_SESSION_SOURCES
    session/testsession.h session/testsession.cpp
    session/testrun.h session/testrun.cpp
    session/processwatch.h session/processwatch.cpp
)
