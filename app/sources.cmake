# main.cpp is the torvelin executable's own source (see the top-level
# CMakeLists.txt); everything else here goes into torvelin_core.
set(TORVELIN_APP_SOURCES
    app/applocations.h app/applocations.cpp
    app/translation.h app/translation.cpp
    app/languageselectdialog.h app/languageselectdialog.cpp
    forms/languageselectdialog.ui
)
