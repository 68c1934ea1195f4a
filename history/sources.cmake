set(TORVELIN_HISTORY_SOURCES
    history/statisticstext.h history/statisticstext.cpp
    history/curveplot.h history/curveplot.cpp
    history/histogramplot.h history/histogramplot.cpp
    history/controlchartplot.h history/controlchartplot.cpp
    history/labheader.h history/labheader.cpp
    history/reports.h history/reports.cpp
    history/reportheaderdialog.h history/reportheaderdialog.cpp
    forms/reportheaderdialog.ui
    history/historymodel.h history/historymodel.cpp
    history/overlaywindow.h history/overlaywindow.cpp
    history/statisticswindow.h history/statisticswindow.cpp
    forms/statisticswindow.ui
    history/signerprompt.h history/signerprompt.cpp
    history/signdialog.h history/signdialog.cpp
    history/amenddialog.h history/amenddialog.cpp
    forms/amenddialog.ui
    forms/signdialog.ui
    history/historywindow.h history/historywindow.cpp
    forms/historywindow.ui
)
