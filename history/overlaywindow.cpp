#include "history/overlaywindow.h"

#include "history/curveplot.h"
#include "widgets/axisfit.h"

#include <QVBoxLayout>

#include <qcustomplot.h>

namespace {
constexpr int InitialWidth = 900;
constexpr int InitialHeight = 600;
} // namespace

OverlayWindow::OverlayWindow(const QVector<StoredTest> &tests, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_plot(new QCustomPlot(this))
{
    setWindowTitle(tr("Overlay of %1 tests").arg(tests.size()));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_plot);
    CurvePlot::setUp(m_plot);
    for (int i = 0; i < tests.size(); ++i)
        CurvePlot::addTest(m_plot, tests.at(i), CurvePlot::distinctColour(i), legendName(tests.at(i)));
    AxisFit::fit(m_plot, AxisFit::Items | AxisFit::ZeroForce);
    resize(InitialWidth, InitialHeight);
}

QString OverlayWindow::legendName(const StoredTest &test)
{
    const QString serial = test.header.identity.serialNumber;
    return serial.isEmpty() ? tr("No. %1").arg(test.id)
                            : tr("No. %1 · S/N %2").arg(test.id).arg(serial);
}
