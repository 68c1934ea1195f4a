#pragma once

#include "device/commandreply.h"
#include "device/linkhealth.h"
#include "device/portguard.h"
#include "device/settings.h"
#include "device/testeridentity.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QThread>
#include <QVector>
#include <QWaitCondition>

#include <atomic>

typedef struct _modbus modbus_t;

// The program's only link to the tester. Owns the Modbus RTU connection and
// the line settings; run() polls the live force and distance, or collects the
// curve points while a test runs, on a thread of its own. The object itself
// lives in the GUI thread, so every other operation and slot runs there, and
// one mutex keeps the two threads' transactions apart.
//
// The link's health is kept beside the transactions: every one is counted,
// the window hears by sendLinkReport whether the tester answers, and a port
// that fails under the loop (adapter pulled, line hung up) is closed and
// reopened every second until it is back or the loop is stopped.
class modbusThread : public QThread
{
    Q_OBJECT

public:
    explicit modbusThread(QObject *parent = nullptr);
    ~modbusThread() override;

    bool openSerial();
    // Why the last openSerial failed.
    PortOpenFailure lastOpenFailure() const { return openFailure; }
    bool closeSerial();
    Serial_Setting_Type getSerialSetting() const;
    quint16 getMachineType();
    quint16 getForceDecimals();
    // As getForceDecimals, but tells a failed read (false, *decimals
    // untouched) from a register that holds 0.
    bool readForceDecimals(quint16 *decimals);
    // Curve mode begins only with a Start the tester took. A Start left
    // unanswered may still have set the machine going with only its answer
    // lost: it is followed by a Stop.
    CommandReply startTest(const Curve_Setting &setting);
    // A Stop that does not reach the tester (the port is being reopened, the
    // line lost the command, the tester answered busy) is sent again as soon
    // as it can be, until the tester takes or refuses it, a new test starts
    // or the link is closed; sendStopDelivered says when it got through.
    CommandReply stopTest();
    bool isStopPending() const { return stopPending; }
    // Disconnect and closing the window, once the loop has ended: a test
    // still running (or a Stop still pending) is stopped first, trying for
    // at most StopBeforeClosingMs. False when the tester did not get it.
    bool stopBeforeClosing();
    static constexpr int StopBeforeClosingMs = 1000;
    // The tester this connection is to, as it answered at Connect. After the
    // port has been reopened the loop reads both figures again before
    // anything else; another answer ends the loop (sendTesterChanged).
    void expectTester(const TesterIdentity &identity);
    void stopThread();

signals:
    void sendCurveData(int index, double x, double y);
    void sendCurrentPointValue(float distance, float force);
    void sendSystemSetting(QVector<float> pointSet, QVector<int> systemSet);
    void sendSystemData(QVector<float> pointData, QVector<int> systemData);
    // From the loop's thread: when the tester stops or starts answering, when
    // the port fails or comes back, and at most once a second while the
    // counters move.
    void sendLinkReport(LinkReport report);
    // From the loop's thread: a pending Stop has got through.
    void sendStopDelivered();
    // From the loop's thread: the reopened port answers as another tester
    // (`found`). The loop has ended without a word to it; the caller closes
    // the link.
    void sendTesterChanged(TesterIdentity found);

public slots:
    void receiveSerailSetting(Serial_Setting_Type setting);
    void getSystemSet(int index);
    void getSystemData(int index, int scanIndex);

protected:
    void run() override;

private:
    bool openContext(PortOpenFailure *why);
    void closeContext();
    LinkOutcome noteTransaction(int returned, int error, bool accepted);
    bool pollLiveValue(QVector<quint16> *block);
    void readCurveBlock(QVector<quint16> *block);
    void reopenWhenDue();
    void reportLinkHealth();
    void pause(qint64 ms);
    bool readInputRegister(int address, quint16 *value);
    int readHoldingRegisters(int count, QVector<quint16> *registers);
    CommandReply writeCommand(const QVector<quint16> &command);
    void sendPendingStop();
    bool confirmTester();
    void waitForReply();
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
    std::atomic<bool> stopPending{false};
    // Set when the port is reopened, cleared when the tester has answered
    // as the one connected.
    std::atomic<bool> testerUnconfirmed{false};

    // Under the device mutex: the guard travels with the context.
    PortGuard portGuard;
    LinkHealth health;
    TesterIdentity expectedTester;
    // GUI thread only.
    PortOpenFailure openFailure;
    // The loop's thread only.
    LinkReport reported;
    qint64 reportedAt = 0;
    // Monotonic time of the link bookkeeping; started once, read by both threads.
    QElapsedTimer linkClock;
    // The loop's pauses end early when it is stopped.
    QMutex pauseMutex;
    QWaitCondition pauseEnded;
};
