// A station that records a test and is killed in the middle of it, for
// tst_recorder_kill: records into the SQLite file given as its argument,
// handing over PointsPerTick points every TickMs, and prints "handed N"
// after each hand-over.
#include "records/testrecorder.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {
constexpr int TickMs = 10;
constexpr int PointsPerTick = 10;
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (application.arguments().size() != 2) {
        std::fprintf(stderr, "usage: recorder_child DATABASE.sqlite\n");
        return 2;
    }
    DatabaseConfig config;
    config.sqlitePath = application.arguments().at(1);
    TestRecorder recorder(config);
    recorder.start();
    TestHeader header = TestHeader::startingNow();
    header.identity.serialNumber = QStringLiteral("killed");
    recorder.begin(header);

    int handed = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        for (int i = 0; i < PointsPerTick; ++i, ++handed)
            recorder.addPoint(0, handed / 32.0, handed);
        std::printf("handed %d\n", handed);
        std::fflush(stdout);
    });
    tick.start(TickMs);
    return application.exec();
}
