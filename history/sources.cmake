set(TORVELIN_HISTORY_SOURCES
    history/statisticstext.h history/statisticstext.cpp
    history/curveplot.h history/curveplot.cpp
    history/histogramplot.h history/histogramplot.cpp
    history/reports.h history/reports.cpp
    history/historymodel.h history/historymodel.cpp
    history/overlaywindow.h history/overlaywindow.cpp
    history/statisticswindow.h history/statisticswindow.cpp
    forms/statisticswindow.ui
    history/historywindow.h history/historywindow.cpp
    forms/historywindow.ui
)
