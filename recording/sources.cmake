set(TORVELIN_RECORDING_SOURCES
    recording/identitybar.h recording/identitybar.cpp
    recording/databasedialog.h recording/databasedialog.cpp
    forms/databasedialog.ui
    recording/testrecording.h recording/testrecording.cpp
    recording/startgate.h recording/startgate.cpp
)
