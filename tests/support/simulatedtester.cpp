#include "support/simulatedtester.h"

#include <QDeadlineTimer>
#include <QProcessEnvironment>

namespace {
constexpr int answerTimeoutMs = 5000;
constexpr int terminateTimeoutMs = 3000;
} // namespace

SimulatedTester::SimulatedTester(const QStringList &arguments) : m_arguments(arguments)
{
    // stdout carries the path and the answers; the simulator's diagnostics
    // belong in the test log.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

SimulatedTester::~SimulatedTester()
{
    stop();
}

QString SimulatedTester::simulatorPath()
{
    return QProcessEnvironment::systemEnvironment().value(QStringLiteral("TORVELIN_SIM"));
}

bool SimulatedTester::start()
{
    stop();
    const QString program = simulatorPath();
    if (program.isEmpty()) {
        m_error = QStringLiteral("TORVELIN_SIM is not set; register the test with SIMULATOR");
        return false;
    }
    // A test that dies leaves no simulator behind: it exits when its stdin,
    // our pipe, closes.
    m_process.start(program, QStringList{QStringLiteral("--exit-on-eof")} + m_arguments);
    if (!m_process.waitForStarted(answerTimeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
        return false;
    }
    QString path;
    if (!readLine(&path) || path.isEmpty()) {
        m_error = QStringLiteral("%1 %2 printed no device path (%3)")
                      .arg(program, m_arguments.join(QLatin1Char(' ')), m_error);
        stop();
        return false;
    }
    m_devicePath = path;
    m_error.clear();
    return true;
}

void SimulatedTester::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(terminateTimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(terminateTimeoutMs);
        }
    }
    m_devicePath.clear();
}

bool SimulatedTester::command(const QString &line, QString *answer)
{
    if (!isRunning()) {
        m_error = QStringLiteral("the simulator is not running");
        return false;
    }
    m_process.write(line.toLocal8Bit() + '\n');
    QString reply;
    if (!readLine(&reply)) {
        m_error = QStringLiteral("no answer to \"%1\" (%2)").arg(line, m_error);
        return false;
    }
    if (reply != QLatin1String("ok") && !reply.startsWith(QLatin1String("ok "))) {
        m_error = QStringLiteral("\"%1\" answered \"%2\"").arg(line, reply);
        return false;
    }
    if (answer)
        *answer = reply.mid(3);
    return true;
}

QString SimulatedTester::state(const QString &key)
{
    QString answer;
    if (!command(QStringLiteral("state"), &answer))
        return QString();
    const QString prefix = key + QLatin1Char('=');
    for (const QString &field : answer.split(QLatin1Char(' '))) {
        if (field.startsWith(prefix))
            return field.mid(prefix.size());
    }
    return QString();
}

QMap<QString, int> SimulatedTester::stats()
{
    QString answer;
    QMap<QString, int> counts;
    if (!command(QStringLiteral("stats"), &answer))
        return counts;
    for (const QString &pair : answer.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList keyValue = pair.split(QLatin1Char('='));
        if (keyValue.size() == 2)
            counts[keyValue[0]] = keyValue[1].toInt();
    }
    return counts;
}

bool SimulatedTester::readLine(QString *line)
{
    const QDeadlineTimer deadline(answerTimeoutMs);
    while (!m_process.canReadLine()) {
        if (m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("the simulator exited with code %1").arg(m_process.exitCode());
            return false;
        }
        const qint64 remaining = deadline.remainingTime();
        if (remaining <= 0) {
            m_error = QStringLiteral("timed out");
            return false;
        }
        m_process.waitForReadyRead(int(remaining));
    }
    *line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return true;
}
