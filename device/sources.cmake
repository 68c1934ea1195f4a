set(TORVELIN_DEVICE_SOURCES
    device/records.h
    device/numbertext.h device/numbertext.cpp
    device/registers.h device/registers.cpp
    device/defaultport.h device/defaultport.cpp
    device/devicelock.h
    device/modbusthread.h device/modbusthread.cpp
)
