#include "support/simulatedtester.h"
// Placeholder until the simulated tester lands.
SimulatedTester::SimulatedTester(const QStringList &arguments) : m_arguments(arguments) {}
SimulatedTester::~SimulatedTester() { stop(); }
bool SimulatedTester::start() { return false; }
void SimulatedTester::stop() {}
bool SimulatedTester::command(const QString &) { return false; }
