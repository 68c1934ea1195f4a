# main.cpp and evalmain.cpp are the torvelin and torvelin-eval executables'
# own sources (see the top-level CMakeLists.txt); everything else here goes
# into the folder's library.
set(TORVELIN_APP_SOURCES
    app/translation.h app/translation.cpp
    app/evalcommand.h app/evalcommand.cpp
    app/languageselectdialog.h app/languageselectdialog.cpp
    forms/languageselectdialog.ui
)
