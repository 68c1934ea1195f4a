#include "simulator.h"
#include "simulatoroptions.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("torvelin-sim"));

    SimulatorOptions options;
    if (!SimulatorOptions::parse(application, &options))
        return 2;
    Simulator simulator(options);
    return simulator.run();
}
