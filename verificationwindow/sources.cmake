set(TORVELIN_VERIFICATIONWINDOW_SOURCES
    verificationwindow/verifymachinedialog.h verificationwindow/verifymachinedialog.cpp
    forms/verifymachinedialog.ui
)
