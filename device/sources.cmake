set(TORVELIN_DEVICE_SOURCES
    device/records.h
    device/numbertext.h device/numbertext.cpp
)
