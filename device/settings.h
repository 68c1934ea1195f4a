#pragma once

#include <QString>

// Line settings of the serial link to the tester. Applied at the next
// connection; copied whenever it is passed around.
struct Serial_Setting_Type
{
    QString portName;   // device string handed to libmodbus
    int baudRate = 115200;
    int dataBits = 8;
    int stopBits = 1;
    char parity = 'N';  // 'N' none, 'E' even, 'O' odd
};

// Settings of the next test, written to the tester in this field order by
// the start command.
struct Curve_Setting
{
    int mode = 0;          // 0 PUSH, 1 PULL
    int distanceMode = 0;  // 0 relative distance, 1 absolute distance
    int speed = 100;       // mm/min
    float distance = 10.0f; // mm
};

#include <QMetaType>
Q_DECLARE_METATYPE(Serial_Setting_Type)
Q_DECLARE_METATYPE(Curve_Setting)
