// torvelin-bench: how fast curve points get from the tester to the screen.
// Drives the real main window and acquisition worker, headless, against the
// simulated tester, and prints one table of figures against their goals.
// scripts/bench builds and runs it.

#include "bench/benchapplication.h"
#include "bench/benchsuite.h"
#include "bench/historybench.h"
#include "bench/labscalebench.h"
#include "bench/report.h"
#include "bench/windowdriver.h"
#include "mainwindow/mainwindow.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QtTest/QTest>

#include <qcustomplot.h>

namespace {

bool readOptions(const QCoreApplication &application, BenchOptions *options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Measures the acquisition path of Torvelin against torvelin-sim: line rate, headroom,\n"
        "GUI responsiveness, drawing, memory per point and opening a large curve file."));
    parser.addHelpOption();
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Baud rate the tester is paced at (default 115200)."),
                                  QStringLiteral("n"), QStringLiteral("115200"));
    const QCommandLineOption dataBits(QStringLiteral("data-bits"), QStringLiteral("Data bits 5-8 (default 8)."),
                                      QStringLiteral("n"), QStringLiteral("8"));
    const QCommandLineOption parity(QStringLiteral("parity"), QStringLiteral("Parity N, E or O (default N)."),
                                    QStringLiteral("p"), QStringLiteral("N"));
    const QCommandLineOption stopBits(QStringLiteral("stop-bits"), QStringLiteral("Stop bits 1 or 2 (default 1)."),
                                      QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption lineSeconds(QStringLiteral("line-seconds"),
                                         QStringLiteral("Seconds measured at line rate (default 8)."),
                                         QStringLiteral("s"), QStringLiteral("8"));
    const QCommandLineOption perPointSeconds(QStringLiteral("per-point-seconds"),
                                             QStringLiteral("Seconds allowed to the replot-per-point run (default 20)."),
                                             QStringLiteral("s"), QStringLiteral("20"));
    const QCommandLineOption historyOnly(QStringLiteral("history-only"),
                                         QStringLiteral("Only the History window and batch statistics over many tests."));
    const QCommandLineOption labOnly(QStringLiteral("lab-only"),
                                     QStringLiteral("Only the lab database of a million tests on PostgreSQL."));
    const QCommandLineOption lineOnly(QStringLiteral("line-only"),
                                      QStringLiteral("Only the line rate, recording to SQLite and to a lab's server."));
    const QCommandLineOption memoryOnly(QStringLiteral("memory-only"),
                                        QStringLiteral("Only the memory per point, acquired and delivered."));
    parser.addOptions({baud, dataBits, parity, stopBits, lineSeconds, perPointSeconds, historyOnly, labOnly,
                       lineOnly, memoryOnly});
    parser.process(application);
    options->historyOnly = parser.isSet(historyOnly);
    options->labOnly = parser.isSet(labOnly);
    options->lineOnly = parser.isSet(lineOnly);
    options->memoryOnly = parser.isSet(memoryOnly);

    QTextStream err(stderr);
    bool ok = true;
    const auto integer = [&](const QCommandLineOption &option, int low, int high, int *value) {
        bool valid = false;
        const int parsed = parser.value(option).toInt(&valid);
        if (!valid || parsed < low || parsed > high) {
            err << "torvelin-bench: --" << option.names().first() << " must be from " << low << " to "
                << high << '\n';
            ok = false;
            return;
        }
        *value = parsed;
    };
    integer(baud, 1, 4000000, &options->line.baudRate);
    integer(dataBits, 5, 8, &options->line.dataBits);
    integer(stopBits, 1, 2, &options->line.stopBits);
    integer(lineSeconds, 1, 600, &options->lineRateSeconds);
    integer(perPointSeconds, 1, 600, &options->perPointSeconds);
    const QString parityText = parser.value(parity).toUpper();
    if (parityText != QLatin1String("N") && parityText != QLatin1String("E")
        && parityText != QLatin1String("O")) {
        err << "torvelin-bench: --parity must be N, E or O\n";
        ok = false;
    } else {
        options->line.parity = parityText.at(0).toLatin1();
    }
    return ok;
}

QString firstLineWith(const QString &path, const QString &prefix)
{
    // Files under /proc claim a size of 0: read them whole.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    const QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (line.startsWith(prefix))
            return line.mid(line.indexOf(QLatin1Char(':')) + 1).trimmed();
    }
    return QString();
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TORVELIN_SIM"))
        qputenv("TORVELIN_SIM", TORVELIN_SIM_PATH);

    BenchApplication application(argc, argv);
    BenchOptions options;
    if (!readOptions(application, &options))
        return 2;

    QTemporaryDir workDirectory;
    if (!workDirectory.isValid()) {
        QTextStream(stderr) << "torvelin-bench: no temporary directory: " << workDirectory.errorString() << '\n';
        return 1;
    }
    // Each run's simulated tester re-points this link to its own line; the
    // worker reads the port once, when the window creates it.
    const QString linkPath = workDirectory.filePath(QStringLiteral("tester"));
    qputenv("TORVELIN_PORT", QFile::encodeName(linkPath));
    // No program the operator chose in the window is read at Connect.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(workDirectory.filePath(QStringLiteral("config"))));
    // The window records every test, as at a station, into a file of the run.
    qputenv("TORVELIN_DB", QFile::encodeName(workDirectory.filePath(QStringLiteral("records.sqlite"))));

    MainWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        QTextStream(stderr) << "torvelin-bench: the window was never shown\n";
        return 1;
    }
    WindowDriver driver(&window);

    QTextStream out(stdout);
    const QString loadBefore = loadAverage();
    out << "Line limit at " << options.line.framing() << ": " << options.line.arithmetic() << "\n\n";
    out.flush();

    Report report;
    BenchSuite suite(&driver, &application, options, linkPath, workDirectory.path());
    if (options.memoryOnly) {
        suite.runMemory(&report);
    } else {
        if (!options.historyOnly && !options.labOnly)
            suite.run(&report);
        if (!options.labOnly && !options.lineOnly)
            HistoryBench::run(&report, workDirectory.path());
        if (!options.historyOnly && !options.lineOnly)
            LabScaleBench::run(&report);
    }

    report.addNote(QStringLiteral("Machine: %1, %2 cores; load average %3 before, %4 after.")
                       .arg(firstLineWith(QStringLiteral("/proc/cpuinfo"), QStringLiteral("model name")))
                       .arg(QThread::idealThreadCount())
                       .arg(loadBefore, loadAverage()));
    report.addNote(QStringLiteral("Qt %1, QCustomPlot %2, offscreen plot %3×%4 px, %5.")
                       .arg(QLatin1String(qVersion()), QLatin1String(QCUSTOMPLOT_VERSION_STR))
                       .arg(driver.plot()->width())
                       .arg(driver.plot()->height())
                       .arg(QDateTime::currentDateTime().toString(Qt::ISODate)));
    report.print(out);
    return report.missed() == 0 ? 0 : 1;
}
