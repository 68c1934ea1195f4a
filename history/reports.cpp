#include "history/reports.h"

#include "numbers/numbertext.h"
#include "history/curveplot.h"
#include "history/histogramplot.h"
#include "history/historymodel.h"
#include "history/statisticstext.h"

#include <QCoreApplication>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>

#include <functional>
#include <memory>
#include <vector>

#include <qcustomplot.h>

namespace {

constexpr double PageMarginMm = 15;
constexpr int TitlePointSize = 16;
constexpr int VerdictPointSize = 20;
constexpr int BodyPointSize = 9;
constexpr double Gap = 10;
constexpr int CurvePlotHeight = 330;
constexpr int HistogramHeight = 230;
constexpr int HistogramsPerRow = 2;
constexpr int HysteresisDecimals = 2;
const char PassColour[] = "#008000";
const char FailColour[] = "#c00000";

class ReportText
{
    Q_DECLARE_TR_FUNCTIONS(Reports)
};

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

// Rows of label/value cells, two pairs a row.
QString pairTable(const QVector<QPair<QString, QString>> &pairs)
{
    QString html = QStringLiteral("<table cellspacing=0 cellpadding=3 width='100%'>");
    for (int i = 0; i < pairs.size(); i += 2) {
        html += QStringLiteral("<tr>");
        for (int j = i; j < i + 2; ++j) {
            if (j < pairs.size()) {
                html += QStringLiteral("<td><b>%1</b></td><td>%2</td>")
                            .arg(escaped(pairs.at(j).first), escaped(pairs.at(j).second));
            } else {
                html += QStringLiteral("<td></td><td></td>");
            }
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString gridTable(const QStringList &headers, const QVector<QStringList> &rows)
{
    QString html = QStringLiteral("<table border=1 cellspacing=0 cellpadding=3 "
                                  "style='border-collapse: collapse' width='100%'><tr>");
    for (const QString &header : headers)
        html += QStringLiteral("<th>%1</th>").arg(escaped(header));
    html += QStringLiteral("</tr>");
    for (const QStringList &row : rows) {
        html += QStringLiteral("<tr>");
        for (const QString &cell : row)
            html += QStringLiteral("<td align=right>%1</td>").arg(escaped(cell));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

// A top-down sequence of blocks on the pages of one device.
class ReportPage
{
public:
    explicit ReportPage(QPagedPaintDevice *device)
        : m_device(device)
    {
        QPageLayout layout = device->pageLayout();
        layout.setUnits(QPageLayout::Millimeter);
        layout.setMargins(QMarginsF(PageMarginMm, PageMarginMm, PageMarginMm, PageMarginMm));
        device->setPageLayout(layout);
        m_active = m_painter.begin(device);
        if (!m_active)
            return;
        m_painter.setMode(QCPPainter::pmVectorized);
        m_painter.setMode(QCPPainter::pmNoCaching);
        const QRect paint = device->pageLayout().paintRectPixels(Reports::ReportDpi);
        m_width = paint.width();
        m_height = paint.height();
        // Device units to the layout's: a printer of any resolution draws
        // the same page.
        m_painter.setWindow(0, 0, m_width, m_height);
        m_painter.setViewport(0, 0, device->width(), device->height());
    }

    bool isActive() const { return m_active; }
    bool finish() { return m_painter.end(); }
    double width() const { return m_width; }

    void text(const QString &html, int pointSize = BodyPointSize)
    {
        QTextDocument document;
        QFont font = m_painter.font();
        font.setPointSizeF(pointSize);
        document.setDefaultFont(font);
        document.setDocumentMargin(0);
        document.setHtml(html);
        document.setTextWidth(m_width);
        const double height = document.size().height();
        makeRoom(height);
        m_painter.save();
        m_painter.translate(0, m_y);
        document.drawContents(&m_painter);
        m_painter.restore();
        m_y += height + Gap;
    }

    // Plots side by side, each a column's share of the page wide.
    void plots(const QVector<QCustomPlot *> &plots, int height, int columns = 1)
    {
        if (plots.isEmpty())
            return;
        makeRoom(height);
        const int each = int(m_width / std::max(columns, int(plots.size())));
        for (int i = 0; i < plots.size(); ++i) {
            m_painter.save();
            m_painter.translate(i * each, m_y);
            plots.at(i)->toPainter(&m_painter, each - int(Gap / 2), height);
            m_painter.restore();
        }
        m_y += height + Gap;
    }

private:
    void makeRoom(double height)
    {
        if (m_y > 0 && m_y + height > m_height) {
            m_device->newPage();
            m_y = 0;
        }
    }

    QPagedPaintDevice *m_device;
    QCPPainter m_painter;
    bool m_active = false;
    double m_width = 0;
    double m_height = 0;
    double m_y = 0;
};

QString localTime(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                          : QString();
}

QString verdictBanner(const EvaluationRecord &evaluation)
{
    if (!evaluation.judged)
        return QStringLiteral("<p align=right>%1</p>").arg(escaped(ReportText::tr("Not judged")));
    const bool passed = evaluation.verdict == QLatin1String("pass");
    return QStringLiteral("<p align=right style='color:%1'><b>%2</b></p>")
        .arg(QLatin1String(passed ? PassColour : FailColour),
             escaped(HistoryModel::verdictText(evaluation.verdict)));
}

QString pointVerdict(const QString &verdict)
{
    if (verdict == QLatin1String("pass"))
        return ReportText::tr("pass");
    if (verdict == QLatin1String("fail"))
        return ReportText::tr("fail");
    if (verdict == QLatin1String("not reached"))
        return ReportText::tr("not reached");
    return verdict;
}

QVector<QPair<QString, QString>> identityAndSettings(const StoredTest &test)
{
    const TestHeader &h = test.header;
    const Serial_Setting_Type &line = h.line;
    const EvaluationRecord &e = test.evaluation;
    return {
        {ReportText::tr("Operator"), h.identity.operatorName},
        {ReportText::tr("Started"), localTime(h.startedAt)},
        {ReportText::tr("Part number"), h.identity.partNumber},
        {ReportText::tr("Finished"), localTime(test.finishedAt)},
        {ReportText::tr("Batch"), h.identity.batch},
        {ReportText::tr("Status"), HistoryModel::statusText(test.status)},
        {ReportText::tr("Serial number"), h.identity.serialNumber},
        {ReportText::tr("Station"), h.station},
        {ReportText::tr("Mode"), h.setting.mode == 0 ? ReportText::tr("PUSH") : ReportText::tr("PULL")},
        {ReportText::tr("Distance mode"), h.setting.distanceMode == 0 ? ReportText::tr("relative") : ReportText::tr("absolute")},
        {ReportText::tr("Speed"), ReportText::tr("%1 mm/min").arg(h.setting.speed)},
        {ReportText::tr("Distance"), ReportText::tr("%1 mm").arg(NumberText::distance(h.setting.distance))},
        {ReportText::tr("Machine type"), QString::number(h.machineType)},
        {ReportText::tr("Force decimals"), QString::number(h.forceDecimals)},
        {ReportText::tr("Line"), QStringLiteral("%1, %2, %3%4%5")
                         .arg(line.portName)
                         .arg(line.baudRate)
                         .arg(line.dataBits)
                         .arg(QLatin1Char(line.parity))
                         .arg(line.stopBits)},
        {ReportText::tr("Program"), e.judged ? QStringLiteral("%1 (%2)").arg(e.programNumber).arg(e.programSource)
                                 : ReportText::tr("none")},
    };
}

QString resultsTable(const StoredTest &test)
{
    const int decimals = test.header.forceDecimals;
    QVector<QStringList> rows;
    for (const PointResultRecord &point : test.evaluation.points) {
        rows << QStringList{QString::number(point.pointNo), NumberText::distance(point.distance),
                            point.force ? NumberText::fixed(*point.force, decimals) : ReportText::tr("none"),
                            NumberText::fixed(point.lower, decimals),
                            NumberText::fixed(point.upper, decimals), pointVerdict(point.verdict)};
    }
    return gridTable({ReportText::tr("Point"), ReportText::tr("Distance (mm)"), ReportText::tr("Force (N)"), ReportText::tr("Lower (N)"),
                      ReportText::tr("Upper (N)"), ReportText::tr("Verdict")},
                     rows);
}

QString figures(const StoredTest &test)
{
    const EvaluationRecord &e = test.evaluation;
    const int decimals = test.header.forceDecimals;
    auto value = [](const std::optional<double> &v, int places, const QString &unit) {
        return v ? NumberText::fixed(*v, places) + unit : ReportText::tr("none");
    };
    QStringList rates;
    for (const RateRecord &rate : e.rates) {
        rates << QStringLiteral("%1→%2: %3")
                     .arg(rate.fromPoint)
                     .arg(rate.toPoint)
                     .arg(value(rate.rate, decimals, QString()));
    }
    QVector<QPair<QString, QString>> pairs{
        {ReportText::tr("Maximum force"), value(e.maxForce, decimals, QStringLiteral(" N"))},
        {ReportText::tr("Hysteresis"), value(e.hysteresisPercent, HysteresisDecimals, QStringLiteral(" %"))},
        {ReportText::tr("Spring rate (fit)"), value(e.rateFit, decimals, QStringLiteral(" N/mm"))},
        {ReportText::tr("Spring rates (N/mm)"), rates.isEmpty() ? ReportText::tr("none") : rates.join(QStringLiteral("   "))},
    };
    return pairTable(pairs);
}

bool writePdf(const QString &fileName, QString *error,
              const std::function<bool(QPagedPaintDevice *)> &render)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    bool drawn = false;
    {
        QPdfWriter writer(&file);
        writer.setResolution(Reports::ReportDpi);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setCreator(QStringLiteral("Torvelin"));
        drawn = render(&writer);
    }
    if (!drawn) {
        file.cancelWriting();
        if (error)
            *error = ReportText::tr("The report could not be drawn.");
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

namespace Reports {

bool renderTest(QPagedPaintDevice *device, const StoredTest &test)
{
    ReportPage page(device);
    if (!page.isActive())
        return false;
    page.text(QStringLiteral("<b>%1</b>").arg(escaped(ReportText::tr("Test report No. %1").arg(test.id))),
              TitlePointSize);
    page.text(verdictBanner(test.evaluation), VerdictPointSize);
    page.text(pairTable(identityAndSettings(test)));

    QCustomPlot plot;
    CurvePlot::setUp(&plot);
    CurvePlot::addTest(&plot, test, CurvePlot::distinctColour(0), ReportText::tr("Forward / return (dashed)"));
    CurvePlot::addTestPoints(&plot, test.evaluation);
    CurvePlot::fitAxes(&plot);
    page.plots({&plot}, CurvePlotHeight);

    if (test.evaluation.judged) {
        page.text(resultsTable(test));
        page.text(figures(test));
    }
    return page.finish();
}

bool renderBatch(QPagedPaintDevice *device, const RecordQueries::Batch &batch)
{
    ReportPage page(device);
    if (!page.isActive())
        return false;
    page.text(QStringLiteral("<b>%1</b>").arg(escaped(ReportText::tr("Batch report"))), TitlePointSize);
    page.text(escaped(StatisticsText::filterDescription(batch.filter)) + QStringLiteral("<br>")
              + escaped(ReportText::tr("Printed %1").arg(localTime(QDateTime::currentDateTime()))));
    page.text(QStringLiteral("<b>%1</b>")
                  .arg(escaped(StatisticsText::counts(batch.counts.count, batch.counts.passed,
                                                      batch.counts.failed))),
              BodyPointSize + 2);
    QVector<QStringList> rows;
    for (const BatchStatistics::PointSummary &point : batch.points)
        rows << StatisticsText::row(point);
    page.text(gridTable(StatisticsText::headers(), rows));
    page.text(escaped(ReportText::tr("Standard deviation of the sample (n − 1). Cp = (USL − LSL) / 6s, "
                         "Cpk = min(USL − mean, mean − LSL) / 3s; none without both limits or "
                         "without spread.")));

    // Two histograms a row; the plots live until the page has drawn them.
    std::vector<std::unique_ptr<QCustomPlot>> histograms;
    QVector<QCustomPlot *> row;
    for (const BatchStatistics::PointSummary &point : batch.points) {
        if (point.n == 0)
            continue;
        histograms.push_back(std::make_unique<QCustomPlot>());
        HistogramPlot::draw(histograms.back().get(), batch.histogram(point.pointNo), point,
                            StatisticsText::pointTitle(point.pointNo));
        row << histograms.back().get();
        if (row.size() == HistogramsPerRow) {
            page.plots(row, HistogramHeight, HistogramsPerRow);
            row.clear();
        }
    }
    page.plots(row, HistogramHeight, HistogramsPerRow);
    return page.finish();
}

bool writeTestPdf(const QString &fileName, const StoredTest &test, QString *error)
{
    return writePdf(fileName, error, [&](QPagedPaintDevice *device) { return renderTest(device, test); });
}

bool writeBatchPdf(const QString &fileName, const RecordQueries::Batch &batch, QString *error)
{
    return writePdf(fileName, error,
                    [&](QPagedPaintDevice *device) { return renderBatch(device, batch); });
}

bool printTest(QPrinter *printer, const StoredTest &test)
{
    return renderTest(printer, test);
}

bool printBatch(QPrinter *printer, const RecordQueries::Batch &batch)
{
    return renderBatch(printer, batch);
}

} // namespace Reports
