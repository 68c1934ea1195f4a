// The simulated tester's line: the pty it offers and its link, reopening,
// the pacing of answers, the faults that spoil or delay whole answers, the
// hangup and reconnect, and the control channel.

#include "modbusmaster.h"
#include "support/simulatedtester.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace {
constexpr int curveRegisters = 122;
constexpr double responseTimeout = 0.5;


bool isCharacterDevice(const QString &path)
{
    struct stat info {};
    return ::stat(path.toLocal8Bit().constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

double seconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e9;
}
} // namespace

class tst_SimulatorLine : public QObject
{
    Q_OBJECT

private slots:
    void printsPtyPathFirst();
    void linkPointsToLineReplacingOldLink();
    void linkDoesNotReplaceAFile();
    void lineSurvivesProgramClosingAndReopening();
    void answersTakeTheirTimeOnTheLine_data();
    void answersTakeTheirTimeOnTheLine();
    void transportFaultsFailTransactions_data();
    void transportFaultsFailTransactions();
    void lateAnswerArrivesAfterTimeout();
    void silentRequestIsNotCarriedOut();
    void silentInputLeavesOnlyReadsOfItsRegisterUnanswered();
    void hangupFailsAtOnceUntilReconnect();
    void controlChannelRejectsBadCommands_data();
    void controlChannelRejectsBadCommands();
    void optionErrorsStopTheStart_data();
    void optionErrorsStopTheStart();
    void endsOnStdinEofOrTerminate_data();
    void endsOnStdinEofOrTerminate();
};

void tst_SimulatorLine::printsPtyPathFirst()
{
    SimulatedTester simulator;
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    QVERIFY(simulator.devicePath().startsWith("/dev/pts/"));
    QVERIFY(isCharacterDevice(simulator.devicePath()));
    QCOMPARE(simulator.state("pty"), simulator.devicePath());
}

void tst_SimulatorLine::linkPointsToLineReplacingOldLink()
{
    QTemporaryDir directory;
    const QString link = directory.filePath("tester");
    QVERIFY(QFile::link("/dev/null", link));

    SimulatedTester simulator({"--link", link});
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    QCOMPARE(simulator.devicePath(), link);
    QCOMPARE(QFile::symLinkTarget(link), simulator.state("pty"));
    ModbusMaster master(link);
    QVERIFY(master.isConnected());
    QCOMPARE(master.readInput(4, 1).value(0), uint16_t(500));

    simulator.stop();
    QVERIFY(!QFileInfo(link).isSymLink());
}

void tst_SimulatorLine::linkDoesNotReplaceAFile()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("precious");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("data");
    file.close();

    SimulatedTester simulator({"--link", path});
    QVERIFY(!simulator.start());
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(QFileInfo(path).size(), qint64(4));
}

void tst_SimulatorLine::lineSurvivesProgramClosingAndReopening()
{
    SimulatedTester simulator({"--no-pacing"});
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    for (int round = 0; round < 3; ++round) {
        ModbusMaster master(simulator.devicePath());
        QVERIFY(master.isConnected());
        QCOMPARE(master.readInput(0, 6).size(), 6);
    }
}

void tst_SimulatorLine::answersTakeTheirTimeOnTheLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("baud");
    QTest::addColumn<char>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<double>("expected");

    // A 122-register read: 8 request bytes and 249 answer bytes plus two
    // frame gaps (1.75 ms above 19200 bit/s, else 3.5 characters).
    QTest::newRow("115200 8N1") << QStringList() << 115200 << 'N' << 1 << (257 * 10 / 115200.0 + 2 * 0.00175);
    QTest::newRow("38400 8E1") << QStringList{"--baud", "38400", "--parity", "E"} << 38400 << 'E' << 1
                               << (257 * 11 / 38400.0 + 2 * 0.00175);
    QTest::newRow("19200 8O2") << QStringList{"--baud", "19200", "--parity", "O", "--stop-bits", "2"} << 19200
                               << 'O' << 2 << (257 + 7) * 12 / 19200.0;
    QTest::newRow("no pacing") << QStringList{"--no-pacing"} << 115200 << 'N' << 1 << 0.0;
}

void tst_SimulatorLine::answersTakeTheirTimeOnTheLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, baud);
    QFETCH(char, parity);
    QFETCH(int, stopBits);
    QFETCH(double, expected);

    SimulatedTester simulator(arguments);
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    ModbusMaster master(simulator.devicePath(), baud, parity, 8, stopBits);
    QVERIFY(master.isConnected());

    QVector<double> durations;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(master.readHolding(0, curveRegisters).size(), curveRegisters);
        durations << seconds(timer);
    }
    std::sort(durations.begin(), durations.end());
    const double median = durations.at(2);
    // Never early; late only by what scheduling adds on a busy machine.
    QVERIFY2(median >= expected - 0.0005 && median <= expected + 0.015,
             qPrintable(QString("%1 s for %2 s").arg(median).arg(expected)));
}

void tst_SimulatorLine::transportFaultsFailTransactions_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("error");   // errno of the failed read; 0: any
    QTest::addColumn<double>("atLeast"); // seconds the failed read takes

    QTest::newRow("bad-crc") << "bad-crc" << 1 << int(EMBBADCRC) << 0.0;
    QTest::newRow("bad-crc twice") << "bad-crc" << 2 << int(EMBBADCRC) << 0.0;
    QTest::newRow("silent") << "silent" << 1 << int(ETIMEDOUT) << responseTimeout;
    QTest::newRow("truncated") << "truncated" << 1 << int(ETIMEDOUT) << responseTimeout;
    QTest::newRow("junk") << "junk" << 1 << 0 << 0.0;
}

void tst_SimulatorLine::transportFaultsFailTransactions()
{
    QFETCH(QString, fault);
    QFETCH(int, count);
    QFETCH(int, error);
    QFETCH(double, atLeast);

    SimulatedTester simulator({"--no-pacing"});
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    ModbusMaster master(simulator.devicePath());
    QVERIFY(master.isConnected());
    QVERIFY(simulator.command(QString("fault %1 %2").arg(fault).arg(count)));

    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        QVERIFY(master.readInput(0, 4).isEmpty());
        if (error != 0)
            QCOMPARE(errno, error);
        QVERIFY(seconds(timer) >= atLeast - 0.01);
    }
    QCOMPARE(master.readInput(0, 4).size(), 4);
}

void tst_SimulatorLine::lateAnswerArrivesAfterTimeout()
{
    SimulatedTester simulator({"--no-pacing", "--late-ms", "700"});
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    ModbusMaster master(simulator.devicePath());
    QVERIFY(master.isConnected());
    QVERIFY(simulator.command("fault late 1"));

    QElapsedTimer timer;
    timer.start();
    QVERIFY(master.readInput(0, 6).isEmpty());
    QCOMPARE(errno, ETIMEDOUT);
    // The answer is still on its way and comes in within the next wait.
    uint8_t answer[MODBUS_RTU_MAX_ADU_LENGTH];
    QVERIFY(modbus_receive_confirmation(master.context(), answer) > 0);
    QVERIFY(seconds(timer) >= 0.7);
    QCOMPARE(int(answer[1]), 4);
}

void tst_SimulatorLine::silentRequestIsNotCarriedOut()
{
    SimulatedTester simulator({"--no-pacing"});
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    ModbusMaster master(simulator.devicePath());
    QVERIFY(master.isConnected());
    QVERIFY(simulator.command("fault silent 1"));

    QVERIFY(!master.write(startCommand(0, 0, 100, 10.0f)));
    QCOMPARE(simulator.state("phase"), QString("idle"));
    QString counters;
    QVERIFY(simulator.command("stats", &counters));
    QCOMPARE(counters, QString("fc03=0 fc04=0 fc16=0 other=0 rejected=0"));
}

void tst_SimulatorLine::silentInputLeavesOnlyReadsOfItsRegisterUnanswered()
{
    SimulatedTester simulator({"--no-pacing", "--silent-input", "4", "--fault", "silent-input"});
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    ModbusMaster master(simulator.devicePath());
    QVERIFY(master.isConnected());

    QCOMPARE(master.readInput(0, 4).size(), 4);
    QCOMPARE(master.readInput(5, 1).size(), 1);
    QVERIFY(master.readInput(3, 2).isEmpty());
    QCOMPARE(errno, ETIMEDOUT);
    QVERIFY(simulator.command("clear silent-input"));
    QCOMPARE(master.readInput(4, 1).size(), 1);
}

void tst_SimulatorLine::hangupFailsAtOnceUntilReconnect()
{
    QTemporaryDir directory;
    const QString link = directory.filePath("tester");
    SimulatedTester simulator({"--no-pacing", "--link", link});
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    {
        ModbusMaster master(link);
        QVERIFY(master.isConnected());
        QVERIFY(simulator.command("fault hangup 1"));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(master.readInput(0, 4).isEmpty());
        // The line is dead: no waiting for the timeout.
        QVERIFY(master.readInput(0, 4).isEmpty());
        QVERIFY2(seconds(timer) < responseTimeout, qPrintable(QString::number(seconds(timer))));
    }
    QString path;
    QVERIFY(simulator.command("reconnect", &path));
    QCOMPARE(path, link);
    QCOMPARE(QFile::symLinkTarget(link), simulator.state("pty"));

    ModbusMaster master(link);
    QVERIFY(master.isConnected());
    QCOMPARE(master.readInput(0, 4).size(), 4);
    QVERIFY(simulator.command("hangup"));
    QVERIFY(master.readInput(0, 4).isEmpty());
    // Gone with the adapter: left, it would name the next pty of that number.
    QVERIFY(!QFileInfo(link).isSymLink());
}

void tst_SimulatorLine::controlChannelRejectsBadCommands_data()
{
    QTest::addColumn<QString>("line");

    QTest::newRow("unknown command") << "explode";
    QTest::newRow("unknown fault") << "fault gremlins";
    QTest::newRow("count 0") << "fault bad-crc 0";
    QTest::newRow("count not a number") << "fault bad-crc many";
    QTest::newRow("clear unknown fault") << "clear gremlins";
    QTest::newRow("type out of range") << "set type 70000";
    QTest::newRow("negative decimals") << "set decimals -1";
    QTest::newRow("unknown setting") << "set colour 3";
    QTest::newRow("position not a number") << "set position far";
    QTest::newRow("position NaN") << "set position nan";
    QTest::newRow("negative spring rate") << "set spring-rate -2";
    QTest::newRow("state with argument") << "state now";
}

void tst_SimulatorLine::controlChannelRejectsBadCommands()
{
    QFETCH(QString, line);

    SimulatedTester simulator({"--no-pacing"});
    QVERIFY2(simulator.start(), qPrintable(simulator.errorString()));
    QVERIFY(!simulator.command(line));
    QVERIFY2(simulator.errorString().contains("answered \"error "), qPrintable(simulator.errorString()));
    // The channel stays in step: the next command gets its own answer.
    QCOMPARE(simulator.state("faults"), QString());
    QVERIFY(simulator.command("fault late 2"));
    QCOMPARE(simulator.state("faults"), QString("late:2"));
}

void tst_SimulatorLine::optionErrorsStopTheStart_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("parity X") << QStringList{"--parity", "X"};
    QTest::newRow("data bits 9") << QStringList{"--data-bits", "9"};
    QTest::newRow("stop bits 3") << QStringList{"--stop-bits", "3"};
    QTest::newRow("type 65536") << QStringList{"--type", "65536"};
    QTest::newRow("unknown fault") << QStringList{"--fault", "gremlins"};
    QTest::newRow("fault count 0") << QStringList{"--fault", "late:0"};
    QTest::newRow("negative spring rate") << QStringList{"--spring-rate", "-1"};
    QTest::newRow("point step 0") << QStringList{"--point-step", "0"};
    QTest::newRow("unknown option") << QStringList{"--turbo"};
    QTest::newRow("stray argument") << QStringList{"/dev/ttyS0"};
}

void tst_SimulatorLine::optionErrorsStopTheStart()
{
    QFETCH(QStringList, arguments);

    SimulatedTester simulator(arguments);
    QVERIFY(!simulator.start());
    QVERIFY2(simulator.errorString().contains("exited with code 2"), qPrintable(simulator.errorString()));
}

void tst_SimulatorLine::endsOnStdinEofOrTerminate_data()
{
    QTest::addColumn<bool>("closeInput");
    QTest::newRow("stdin end") << true;
    QTest::newRow("SIGTERM") << false;
}

void tst_SimulatorLine::endsOnStdinEofOrTerminate()
{
    QFETCH(bool, closeInput);

    QProcess process;
    process.start(SimulatedTester::simulatorPath(), {"--exit-on-eof", "--fault", "late:3"});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY(process.canReadLine());
    QVERIFY(process.readLine().startsWith("/dev/pts/"));
    if (closeInput)
        process.closeWriteChannel();
    else
        process.terminate();
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(tst_SimulatorLine)
#include "tst_simulatorline.moc"
