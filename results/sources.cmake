set(TORVELIN_RESULTS_SOURCES
    forms/programdialog.ui
    results/resultsdock.h results/resultsdock.cpp
    results/programmarkers.h results/programmarkers.cpp
    results/liveevaluation.h results/liveevaluation.cpp
    results/programchoice.h results/programchoice.cpp
    results/programdialog.h results/programdialog.cpp
)
