set(TORVELIN_DIALOGS_SOURCES
    dialogs/serialportlist.h dialogs/serialportlist.cpp
    dialogs/serialsettingdialog.h dialogs/serialsettingdialog.cpp
    dialogs/chartstart.h dialogs/chartstart.cpp
    dialogs/axissetting.h
    dialogs/curvesettingdialog.h dialogs/curvesettingdialog.cpp
)
