#pragma once

#include "device/records.h"

#include <QMutex>
#include <QThread>
#include <QVector>

#include <atomic>

typedef struct _modbus modbus_t;

// The program's only link to the tester. Owns the Modbus RTU connection and
// the line settings; run() polls the live force and distance, or collects the
// curve points while a test runs, on a thread of its own. The object itself
// lives in the GUI thread, so every other operation and slot runs there, and
// one mutex keeps the two threads' transactions apart.
class modbusThread : public QThread
{
    Q_OBJECT

public:
    explicit modbusThread(QObject *parent = nullptr);
    ~modbusThread() override;

    bool openSerial();
    bool closeSerial();
    Serial_Setting_Type getSerialSetting() const;
    quint16 getMachineType();
    quint16 getForceDecimals();
    // As getForceDecimals, but tells a failed read (false, *decimals
    // untouched) from a register that holds 0.
    bool readForceDecimals(quint16 *decimals);
    void startTest(const Curve_Setting &setting);
    void stopTest();
    void stopThread();

signals:
    void sendCurveData(int index, double x, double y);
    void sendCurrentPointValue(float distance, float force);
    void sendSystemSetting(QVector<float> pointSet, QVector<int> systemSet);
    void sendSystemData(QVector<float> pointData, QVector<int> systemData);

public slots:
    void receiveSerailSetting(Serial_Setting_Type setting);
    void getSystemSet(int index);
    void getSystemData(int index, int scanIndex);

protected:
    void run() override;

private:
    bool readInputRegister(int address, quint16 *value);
    int readHoldingRegisters(int count, QVector<quint16> *registers);
    void writeCommand(const QVector<quint16> &command);
    void waitForReply();
    bool readFailedAtOnce() const;
    void prepareTransaction();

    modbus_t *ctx = nullptr;
    QString portName;
    int baudRate = 115200;
    int dataBits = 8;
    int stopBits = 1;
    char parity = 'N';
    QMutex mutex;
    std::atomic<bool> running{false};
    std::atomic<bool> curveMode{false};
};
