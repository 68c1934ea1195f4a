set(TORVELIN_SETTINGS_SOURCES
    settings/applocations.h settings/applocations.cpp
    settings/usersettings.h settings/usersettings.cpp
)
