set(TORVELIN_RESULTS_SOURCES
    forms/programdialog.ui
    results/resultsdock.h results/resultsdock.cpp
    results/liveevaluation.h results/liveevaluation.cpp
    results/verdictband.h results/verdictband.cpp
    results/verdictsound.h results/verdictsound.cpp
    results/programchoice.h results/programchoice.cpp
    results/programdialog.h results/programdialog.cpp
)
