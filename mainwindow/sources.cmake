set(TORVELIN_MAINWINDOW_SOURCES
    forms/mainwindow.ui
    mainwindow/mainwindow.h mainwindow/mainwindow.cpp
    mainwindow/curveplotview.h mainwindow/curveplotview.cpp
    mainwindow/plotexport.h mainwindow/plotexport.cpp
    mainwindow/livereadout.h mainwindow/livereadout.cpp
    mainwindow/plotautofit.h mainwindow/plotautofit.cpp
    mainwindow/testsettingslabel.h mainwindow/testsettingslabel.cpp
    mainwindow/historyactions.h mainwindow/historyactions.cpp
    mainwindow/libraryactions.h mainwindow/libraryactions.cpp
    mainwindow/startprompt.h mainwindow/startprompt.cpp
    mainwindow/commandtexts.h mainwindow/commandtexts.cpp
    mainwindow/verificationactions.h mainwindow/verificationactions.cpp
)
