set(TORVELIN_LIBRARYWINDOW_SOURCES
    librarywindow/programlibrarydialog.h librarywindow/programlibrarydialog.cpp
    forms/programlibrarydialog.ui
    librarywindow/libraryentrydialog.h librarywindow/libraryentrydialog.cpp
    forms/libraryentrydialog.ui
)
