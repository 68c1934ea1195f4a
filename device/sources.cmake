set(TORVELIN_DEVICE_SOURCES
    device/settings.h
    device/registers.h device/registers.cpp
    device/machineprogram.h device/machineprogram.cpp
    device/defaultport.h device/defaultport.cpp
    device/devicelock.h
    device/linkhealth.h device/linkhealth.cpp
    device/commandreply.h device/commandreply.cpp
    device/testeridentity.h
    device/portguard.h
    device/modbusthread.h device/modbusthread.cpp
)
# The one place that makes the platform's own port calls.
if(WIN32)
    list(APPEND TORVELIN_DEVICE_SOURCES device/portguard_windows.cpp)
else()
    list(APPEND TORVELIN_DEVICE_SOURCES device/portguard_posix.cpp)
endif()
