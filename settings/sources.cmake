set(TORVELIN_SETTINGS_SOURCES
    settings/applocations.h settings/applocations.cpp
)
