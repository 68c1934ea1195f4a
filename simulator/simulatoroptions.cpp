#include "simulatoroptions.h"

#include "controlchannel.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cmath>

namespace {
constexpr int maxRegisterValue = 65535;

class OptionReader
{
public:
    explicit OptionReader(const QCommandLineParser &parser) : m_parser(parser) {}

    void integer(const QString &name, int low, int high, int *value)
    {
        if (!m_parser.isSet(name))
            return;
        bool valid = false;
        const int parsed = m_parser.value(name).toInt(&valid);
        if (!valid || parsed < low || parsed > high)
            fail(name, QStringLiteral("an integer from %1 to %2").arg(low).arg(high));
        else
            *value = parsed;
    }

    void real(const QString &name, double low, double *value)
    {
        if (!m_parser.isSet(name))
            return;
        bool valid = false;
        const double parsed = m_parser.value(name).toDouble(&valid);
        if (!valid || !std::isfinite(parsed) || parsed < low)
            fail(name, QStringLiteral("a number not below %1").arg(low));
        else
            *value = parsed;
    }

    void fail(const QString &name, const QString &expected)
    {
        QTextStream(stderr) << "torvelin-sim: --" << name << " must be " << expected << '\n';
        m_ok = false;
    }

    bool ok() const { return m_ok; }

private:
    const QCommandLineParser &m_parser;
    bool m_ok = true;
};

bool parseFault(const QString &text, SimulatorOptions::InitialFault *fault)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    fault->count = FaultSet::untilCleared;
    if (colon >= 0) {
        bool valid = false;
        fault->count = text.mid(colon + 1).toInt(&valid);
        if (!valid || fault->count < 1)
            return false;
    }
    return FaultSet::parse(text.left(colon), &fault->fault);
}
} // namespace

bool SimulatorOptions::parse(const QCoreApplication &application, SimulatorOptions *options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated spring testing machine: a Modbus RTU slave (address 1) on a virtual\n"
        "serial line. Prints the device path to open as its first line on stdout, then\n"
        "serves the tester's register contract until SIGTERM, SIGINT or SIGHUP.\n"
        "\n"
        "Control commands, one per line on stdin, each answered on stdout by one line,\n"
        "\"ok ...\" or \"error ...\":\n")
        + ControlChannel::describe()
        + QStringLiteral("\nFaults (--fault and the fault command):\n") + FaultSet::describe()
        + QStringLiteral("\nsimulator/README.md describes the machine, the stored data and --numbered."));
    const QCommandLineOption help = parser.addHelpOption();

    const QList<QCommandLineOption> list = {
        {QStringLiteral("link"), QStringLiteral("Keep a symlink at <path> pointing to the line; an existing "
                                                "link is replaced. The path printed is then <path>."),
         QStringLiteral("path")},
        {QStringLiteral("baud"), QStringLiteral("Baud rate for pacing (default 115200)."), QStringLiteral("n")},
        {QStringLiteral("parity"), QStringLiteral("Parity N, E or O for pacing (default N)."), QStringLiteral("p")},
        {QStringLiteral("data-bits"), QStringLiteral("Data bits 5-8 for pacing (default 8)."), QStringLiteral("n")},
        {QStringLiteral("stop-bits"), QStringLiteral("Stop bits 1 or 2 for pacing (default 1)."), QStringLiteral("n")},
        {QStringLiteral("no-pacing"), QStringLiteral("Answer at once instead of taking the time the bytes "
                                                     "need on a real line.")},
        {QStringLiteral("type"), QStringLiteral("Machine type, input register 4 (default 500)."), QStringLiteral("n")},
        {QStringLiteral("decimals"), QStringLiteral("Force decimals, input register 5 (default 3)."),
         QStringLiteral("n")},
        {QStringLiteral("spring-rate"), QStringLiteral("Spring rate in N/mm (default 5)."), QStringLiteral("r")},
        {QStringLiteral("point-step"), QStringLiteral("Travel in mm between curve points (default 0.03125)."),
         QStringLiteral("mm")},
        {QStringLiteral("noise"), QStringLiteral("Live force noise amplitude in N; the distance gets a tenth of "
                                                 "it in mm; 0 for exact readings (default 0.02)."),
         QStringLiteral("n")},
        {QStringLiteral("numbered"), QStringLiteral("Live force counts the live reads, curve point forces count "
                                                    "the points (see README.md).")},
        {QStringLiteral("fault"), QStringLiteral("Start with fault <name> on, for <count> answers when given "
                                                 "(repeatable)."),
         QStringLiteral("name[:count]")},
        {QStringLiteral("late-ms"), QStringLiteral("Delay of the late fault in ms (default 700)."),
         QStringLiteral("ms")},
        {QStringLiteral("silent-input"), QStringLiteral("Input register whose reads the silent-input fault leaves "
                                                        "unanswered (default 5, the force decimals)."),
         QStringLiteral("n")},
        {QStringLiteral("exit-on-eof"), QStringLiteral("Exit when stdin reaches end of file (without it the "
                                                       "simulator keeps serving and ignores stdin from then on).")},
        {QStringLiteral("verbose"), QStringLiteral("Log every request and answer to stderr.")},
    };
    parser.addOptions(list);
    if (!parser.parse(application.arguments())) {
        QTextStream(stderr) << "torvelin-sim: " << parser.errorText() << '\n';
        return false;
    }
    if (parser.isSet(help))
        parser.showHelp(0);

    if (!parser.positionalArguments().isEmpty()) {
        QTextStream(stderr) << "torvelin-sim: unexpected argument " << parser.positionalArguments().first() << '\n';
        return false;
    }

    OptionReader reader(parser);
    options->linkPath = parser.value(QStringLiteral("link"));
    reader.integer(QStringLiteral("baud"), 1, 4000000, &options->line.baudRate);
    reader.integer(QStringLiteral("data-bits"), 5, 8, &options->line.dataBits);
    reader.integer(QStringLiteral("stop-bits"), 1, 2, &options->line.stopBits);
    if (parser.isSet(QStringLiteral("parity"))) {
        const QString parity = parser.value(QStringLiteral("parity")).toUpper();
        if (parity == QLatin1String("N") || parity == QLatin1String("E") || parity == QLatin1String("O"))
            options->line.parity = parity.at(0).toLatin1();
        else
            reader.fail(QStringLiteral("parity"), QStringLiteral("N, E or O"));
    }
    options->pacing = !parser.isSet(QStringLiteral("no-pacing"));
    reader.integer(QStringLiteral("type"), 0, maxRegisterValue, &options->machineType);
    reader.integer(QStringLiteral("decimals"), 0, maxRegisterValue, &options->forceDecimals);
    reader.real(QStringLiteral("spring-rate"), 0.0, &options->model.springRate);
    reader.real(QStringLiteral("noise"), 0.0, &options->model.forceNoise);
    reader.real(QStringLiteral("point-step"), 0.0, &options->model.pointStep);
    if (options->model.pointStep <= 0.0)
        reader.fail(QStringLiteral("point-step"), QStringLiteral("above 0"));
    options->model.numbered = parser.isSet(QStringLiteral("numbered"));
    reader.integer(QStringLiteral("late-ms"), 0, 60000, &options->lateMilliseconds);
    reader.integer(QStringLiteral("silent-input"), 0, maxRegisterValue, &options->silentInputRegister);
    for (const QString &text : parser.values(QStringLiteral("fault"))) {
        InitialFault fault{};
        if (parseFault(text, &fault))
            options->faults << fault;
        else
            reader.fail(QStringLiteral("fault"), QStringLiteral("one of ") + FaultSet::names().join(QLatin1Char(' '))
                                                     + QStringLiteral(", optionally :count"));
    }
    options->exitOnEof = parser.isSet(QStringLiteral("exit-on-eof"));
    options->verbose = parser.isSet(QStringLiteral("verbose"));
    return reader.ok();
}
