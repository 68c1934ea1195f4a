set(TORVELIN_RECORDING_SOURCES
    recording/identitybar.h recording/identitybar.cpp
    recording/databasedialog.h recording/databasedialog.cpp
    forms/databasedialog.ui
    recording/passworddialog.h recording/passworddialog.cpp
    forms/passworddialog.ui
    recording/rememberoption.h recording/rememberoption.cpp
    recording/logincheck.h recording/logincheck.cpp
    recording/testrecording.h recording/testrecording.cpp
    recording/startgate.h recording/startgate.cpp
)
