set(TORVELIN_DIALOGS_SOURCES
    dialogs/serialportlist.h dialogs/serialportlist.cpp
    dialogs/serialsettingdialog.h dialogs/serialsettingdialog.cpp
    forms/serialsettingdialog.ui
    dialogs/chartstart.h dialogs/chartstart.cpp
    forms/chartstart.ui
    dialogs/axissetting.h
    dialogs/curvesettingdialog.h dialogs/curvesettingdialog.cpp
    forms/curvesettingdialog.ui
)
