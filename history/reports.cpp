#include "history/reports.h"

#include "numbers/numbertext.h"
#include "evaluation/programfile.h"
#include "history/curveplot.h"
#include "history/controlchartplot.h"
#include "history/histogramplot.h"
#include "history/historymodel.h"
#include "history/statisticstext.h"

#include <QMap>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QImageReader>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include <qcustomplot.h>

namespace {

constexpr double PageMarginMm = 15;
constexpr int TitlePointSize = 16;
constexpr int VerdictPointSize = 20;
constexpr int CompanyPointSize = 12;
constexpr int BodyPointSize = 9;
constexpr int FooterPointSize = 8;
constexpr double Gap = 10;
constexpr double LogoHeight = 40;
constexpr double LogoMaxWidth = 160;
constexpr int CurvePlotHeight = 330;
constexpr int HistogramHeight = 230;
// The control chart's halves one above the other across the page: its
// points are subgroups in test order, and a drift needs the width to show.
constexpr int LocationChartHeight = 270;
constexpr int SpreadChartHeight = 230;
constexpr int HysteresisDecimals = 2;
constexpr int FingerprintDigits = 16;
const char PassColour[] = "#008000";
const char FailColour[] = "#c00000";
const char RuleColour[] = "#808080";

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

// Cells at (row, column) in `marked` are printed red and bold.
using MarkedCells = std::set<std::pair<int, int>>;

QString gridTable(const QStringList &headers, const QVector<QStringList> &rows,
                  const MarkedCells &marked = {})
{
    QString html = QStringLiteral("<table border=1 cellspacing=0 cellpadding=3 "
                                  "style='border-collapse: collapse' width='100%'><tr>");
    for (const QString &header : headers)
        html += QStringLiteral("<th>%1</th>").arg(escaped(header));
    html += QStringLiteral("</tr>");
    for (int r = 0; r < rows.size(); ++r) {
        html += QStringLiteral("<tr>");
        for (int c = 0; c < rows.at(r).size(); ++c) {
            const QString cell = escaped(rows.at(r).at(c));
            html += marked.count({r, c})
                        ? QStringLiteral("<td align=right style='color:%1'><b>%2</b></td>")
                              .arg(QLatin1String(FailColour), cell)
                        : QStringLiteral("<td align=right>%1</td>").arg(cell);
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

// A report laid out top-down over pages: blocks are measured and placed as
// they are added and painted when the report is finished, so that every
// page can carry the lab's header and "Page n of m".
class ReportPage
{
public:
    ReportPage(QPagedPaintDevice *device, const LabHeader &lab, const QString &title)
        : m_device(device)
        , m_lab(lab)
        , m_title(title)
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
        m_painter.setWindow(0, 0, int(m_width), int(m_height));
        m_painter.setViewport(0, 0, device->width(), device->height());
        prepareHeaderAndFooter();
        m_pages.resize(1);
    }

    bool isActive() const { return m_active; }
    double width() const { return m_width; }

    void text(const QString &html, int pointSize = BodyPointSize)
    {
        add(documentBlock(document(html, pointSize)));
    }

    // A plot the page keeps until it has painted it.
    QCustomPlot *newPlot()
    {
        m_plots.push_back(std::make_unique<QCustomPlot>());
        return m_plots.back().get();
    }

    // Plots side by side, each a column's share of the page wide.
    void plots(const QVector<QCustomPlot *> &plots, int height, int columns = 1)
    {
        if (plots.isEmpty())
            return;
        const int each = int(m_width / std::max(columns, int(plots.size())));
        add({double(height), [plots, height, each](QCPPainter *painter) {
                 for (int i = 0; i < plots.size(); ++i) {
                     painter->save();
                     painter->translate(i * each, 0);
                     plots.at(i)->toPainter(painter, each - int(Gap / 2), height);
                     painter->restore();
                 }
             }});
    }

    // What is added until endGroup goes on one page, a new one when the
    // rest of this one is too short (and the group fits a page at all).
    void beginGroup() { m_grouping = true; }
    void endGroup()
    {
        m_grouping = false;
        double total = 0;
        for (const Block &block : m_group)
            total += block.height + Gap;
        if (m_y > 0 && m_y + total - Gap > bodyHeight() && total - Gap <= bodyHeight())
            newPage();
        for (const Block &block : m_group)
            place(block);
        m_group.clear();
    }

    // A table that runs over as many pages as it needs, its headings
    // repeated at the top of each part; the caption goes with the first.
    void table(const QString &caption, const QStringList &headers, const QVector<QStringList> &rows)
    {
        const double headings = document(gridTable(headers, {}), BodyPointSize)->size().height();
        int next = 0;
        QString lead = caption;
        while (next < rows.size()) {
            auto part = [&](int count) {
                return document(lead + gridTable(headers, rows.mid(next, count)), BodyPointSize);
            };
            const double oneRow = part(1)->size().height();
            if (m_y > 0 && m_y + oneRow > bodyHeight())
                newPage();
            const double room = bodyHeight() - m_y;
            const double above =
                headings + (lead.isEmpty() ? 0 : document(lead, BodyPointSize)->size().height());
            const double rowHeight = std::max(1.0, oneRow - above);
            int count = std::clamp(int((room - above) / rowHeight), 1, int(rows.size()) - next);
            std::shared_ptr<QTextDocument> chosen;
            // Rows that wrap are taller than the first: fewer go on the page.
            for (;;) {
                chosen = part(count);
                if (count == 1 || chosen->size().height() <= room)
                    break;
                --count;
            }
            add(documentBlock(chosen));
            next += count;
            lead.clear();
        }
    }

    bool finish()
    {
        const int count = m_pages.size();
        for (int page = 0; page < count; ++page) {
            if (page > 0 && !m_device->newPage())
                return false;
            paintHeader();
            for (const Placed &placed : m_pages.at(page)) {
                m_painter.save();
                m_painter.translate(0, m_headerHeight + placed.y);
                placed.block.paint(&m_painter);
                m_painter.restore();
            }
            paintFooter(page + 1, count);
        }
        return m_painter.end();
    }

private:
    struct Block
    {
        double height;
        std::function<void(QCPPainter *)> paint;
    };
    struct Placed
    {
        double y;
        Block block;
    };

    std::shared_ptr<QTextDocument> document(const QString &html, int pointSize) const
    {
        auto doc = std::make_shared<QTextDocument>();
        QFont font = m_painter.font();
        font.setPointSizeF(pointSize);
        doc->setDefaultFont(font);
        doc->setDocumentMargin(0);
        doc->setHtml(html);
        doc->setTextWidth(m_width);
        return doc;
    }

    static Block documentBlock(const std::shared_ptr<QTextDocument> &doc)
    {
        return {doc->size().height(), [doc](QCPPainter *painter) { doc->drawContents(painter); }};
    }

    void prepareHeaderAndFooter()
    {
        if (!m_lab.logoFile.trimmed().isEmpty()) {
            QImageReader reader(m_lab.logoFile);
            m_logo = reader.read();
        }
        QString lines;
        if (!m_lab.companyName.trimmed().isEmpty()) {
            lines += QStringLiteral("<span style='font-size:%1pt'><b>%2</b></span>")
                         .arg(CompanyPointSize)
                         .arg(escaped(m_lab.companyName.trimmed()));
        }
        if (!m_lab.addressLine.trimmed().isEmpty()) {
            if (!lines.isEmpty())
                lines += QStringLiteral("<br>");
            lines += escaped(m_lab.addressLine.trimmed());
        }
        double height = 0;
        double textLeft = 0;
        if (!m_logo.isNull()) {
            const QSizeF logo = QSizeF(m_logo.size()).scaled(LogoMaxWidth, LogoHeight, Qt::KeepAspectRatio);
            m_logoRect = QRectF(0, 0, logo.width(), logo.height());
            height = logo.height();
            textLeft = logo.width() + Gap;
        }
        if (!lines.isEmpty()) {
            m_headerText = document(lines, BodyPointSize);
            m_headerText->setTextWidth(m_width - textLeft);
            m_headerTextLeft = textLeft;
            height = std::max(height, m_headerText->size().height());
        }
        // Room for the rule below the header.
        m_headerHeight = height > 0 ? height + 2 * Gap : 0;
        m_headerContentHeight = height;
        m_footer = document(QStringLiteral("x"), FooterPointSize);
        m_footerHeight = m_footer->size().height() + Gap;
    }

    void paintHeader()
    {
        if (m_headerHeight <= 0)
            return;
        if (!m_logo.isNull())
            m_painter.drawImage(m_logoRect, m_logo);
        if (m_headerText) {
            m_painter.save();
            m_painter.translate(m_headerTextLeft, 0);
            m_headerText->drawContents(&m_painter);
            m_painter.restore();
        }
        m_painter.save();
        m_painter.setPen(QPen(QColor(QLatin1String(RuleColour)), 0.5));
        const double rule = m_headerContentHeight + Gap;
        m_painter.drawLine(QPointF(0, rule), QPointF(m_width, rule));
        m_painter.restore();
    }

    void paintFooter(int page, int count)
    {
        const QString html =
            QStringLiteral("<table width='100%' cellspacing=0 cellpadding=0><tr>"
                           "<td>%1</td><td align=right>%2</td></tr></table>")
                .arg(escaped(m_title), escaped(ReportText::tr("Page %1 of %2").arg(page).arg(count)));
        const std::shared_ptr<QTextDocument> footer = document(html, FooterPointSize);
        m_painter.save();
        m_painter.translate(0, m_height - footer->size().height());
        footer->drawContents(&m_painter);
        m_painter.restore();
    }

    double bodyHeight() const { return m_height - m_headerHeight - m_footerHeight; }

    void add(const Block &block)
    {
        if (m_grouping)
            m_group.append(block);
        else
            place(block);
    }

    void place(const Block &block)
    {
        if (m_y > 0 && m_y + block.height > bodyHeight())
            newPage();
        m_pages.last().append(Placed{m_y, block});
        m_y += block.height + Gap;
    }

    void newPage()
    {
        m_pages.append(QVector<Placed>());
        m_y = 0;
    }

    QPagedPaintDevice *m_device;
    LabHeader m_lab;
    QString m_title;
    QCPPainter m_painter;
    bool m_active = false;
    double m_width = 0;
    double m_height = 0;
    double m_y = 0;
    QImage m_logo;
    QRectF m_logoRect;
    std::shared_ptr<QTextDocument> m_headerText;
    double m_headerTextLeft = 0;
    double m_headerHeight = 0;
    double m_headerContentHeight = 0;
    std::shared_ptr<QTextDocument> m_footer;
    double m_footerHeight = 0;
    QVector<QVector<Placed>> m_pages;
    bool m_grouping = false;
    QVector<Block> m_group;
    std::vector<std::unique_ptr<QCustomPlot>> m_plots;
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

QString testVerdict(const StoredTest &test)
{
    // An aborted test is no judged spring, and the report says why.
    if (test.status == TestStatus::Aborted)
        return HistoryModel::statusText(test.status);
    return test.evaluation.judged ? HistoryModel::verdictText(test.evaluation.verdict)
                                  : ReportText::tr("not judged");
}

QVector<QPair<QString, QString>> identityAndSettings(const StoredTest &test)
{
    const TestHeader &h = test.header;
    const Serial_Setting_Type &line = h.line;
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
        {ReportText::tr("Line gap"), test.gap ? HistoryModel::lineGapText(*test.gap) : ReportText::tr("none")},
    };
}

// The program the test was judged against, as its record keeps it: a
// record whose program text no longer reads still prints its number.
struct JudgingProgram
{
    bool readable = false;
    TestProgram program;
};

JudgingProgram judgingProgram(const EvaluationRecord &evaluation)
{
    JudgingProgram result;
    result.readable = !evaluation.programJson.isEmpty()
                      && ProgramFile::fromJson(evaluation.programJson.toUtf8(), &result.program, nullptr);
    return result;
}

QString programKey(const TestProgram &program, const char *key)
{
    const QJsonValue value = program.otherKeys.value(QLatin1String(key));
    return value.isDouble() ? QString::number(value.toDouble()) : value.toString().trimmed();
}

QVector<QPair<QString, QString>> programPairs(const EvaluationRecord &evaluation,
                                             const JudgingProgram &judging)
{
    const TestProgram &program = judging.program;
    const QString name = programKey(program, "name");
    const QString version = programKey(program, "version");
    // The program's own text identifies the version that judged, whether
    // or not the program names one.
    const QString fingerprint =
        QString::fromLatin1(QCryptographicHash::hash(evaluation.programJson.toUtf8(),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(FingerprintDigits));
    QVector<QPair<QString, QString>> pairs{
        {ReportText::tr("Program"), name.isEmpty() ? ReportText::tr("Program %1").arg(evaluation.programNumber)
                                                   : name},
        {ReportText::tr("Program number"), QString::number(evaluation.programNumber)},
        {ReportText::tr("Version"), version.isEmpty() ? ReportText::tr("none") : version},
        {ReportText::tr("Fingerprint (SHA-256)"), fingerprint},
    };
    if (!judging.readable)
        return pairs;
    const SpringData &spring = program.spring;
    auto millimetres = [](double value) { return ReportText::tr("%1 mm").arg(NumberText::distance(value)); };
    pairs << QPair<QString, QString>{ReportText::tr("Program speed"),
                                     program.speed > 0 ? ReportText::tr("%1 mm/min").arg(program.speed)
                                                       : ReportText::tr("none")}
          << QPair<QString, QString>{ReportText::tr("Free length"), millimetres(spring.freeLength)}
          << QPair<QString, QString>{ReportText::tr("Mean diameter"), millimetres(spring.meanDiameter)}
          << QPair<QString, QString>{ReportText::tr("Wire diameter"), millimetres(spring.wireDiameter)}
          << QPair<QString, QString>{ReportText::tr("Effective coils"), QString::number(spring.effectiveCoils)}
          << QPair<QString, QString>{ReportText::tr("Nominal rate"),
                                     ReportText::tr("%1 N/mm").arg(NumberText::force(spring.rate))};
    return pairs;
}

QString resultsTable(const StoredTest &test, const JudgingProgram &judging)
{
    const int decimals = test.header.forceDecimals;
    QVector<QStringList> rows;
    for (const PointResultRecord &point : test.evaluation.points) {
        // Point numbers count the program's points from 1.
        const int index = point.pointNo - 1;
        const bool known = judging.readable && index >= 0 && index < judging.program.points.size();
        rows << QStringList{QString::number(point.pointNo), NumberText::distance(point.distance),
                            known ? NumberText::fixed(judging.program.points.at(index).force, decimals)
                                  : ReportText::tr("none"),
                            point.force ? NumberText::fixed(*point.force, decimals) : ReportText::tr("none"),
                            NumberText::fixed(point.lower, decimals),
                            NumberText::fixed(point.upper, decimals), pointVerdict(point.verdict)};
    }
    return gridTable({ReportText::tr("Point"), ReportText::tr("Distance (mm)"), ReportText::tr("Nominal (N)"),
                      ReportText::tr("Force (N)"), ReportText::tr("Lower (N)"), ReportText::tr("Upper (N)"),
                      ReportText::tr("Verdict")},
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

QString heading(const QString &text)
{
    return QStringLiteral("<b>%1</b>").arg(escaped(text));
}

// Who signed the test, when and with what meaning (and a test nobody
// signed says so); what a reviewer corrected, with the reason.
QString review(const StoredTest &test)
{
    QString html = heading(ReportText::tr("Signatures"));
    if (test.signatures.isEmpty()) {
        html += QStringLiteral("<p>%1</p>").arg(escaped(ReportText::tr("Not signed.")));
    } else {
        QVector<QStringList> rows;
        for (const RecordsReview::Signature &signature : test.signatures) {
            rows << QStringList{RecordsReview::meaningText(signature.meaning), signature.signer,
                                localTime(signature.at), signature.comment};
        }
        html += gridTable({ReportText::tr("Meaning"), ReportText::tr("Signed by"), ReportText::tr("Time"),
                           ReportText::tr("Comment")},
                          rows);
    }
    if (!test.amendments.isEmpty()) {
        QVector<QStringList> rows;
        for (const RecordsReview::Amendment &amendment : test.amendments) {
            rows << QStringList{RecordsReview::fieldText(amendment.field), amendment.oldValue, amendment.newValue,
                                amendment.signer, localTime(amendment.at), amendment.reason};
        }
        html += QStringLiteral("<br>") + heading(ReportText::tr("Amendments"))
                + gridTable({ReportText::tr("Field"), ReportText::tr("Before"), ReportText::tr("After"),
                             ReportText::tr("By"), ReportText::tr("Time"), ReportText::tr("Reason")},
                            rows);
    }
    return html;
}

// The latest signature, for the list of a batch's tests.
QString latestSignature(const StoredTest &test)
{
    if (test.signatures.isEmpty())
        return QString();
    const RecordsReview::Signature &last = test.signatures.last();
    return ReportText::tr("%1 by %2, %3")
        .arg(RecordsReview::meaningText(last.meaning), last.signer, localTime(last.at));
}

// The batch's tests in the order they were tested: serial number, start,
// verdict and the force at each test point.
void testList(ReportPage *page, const QVector<StoredTest> &tests)
{
    std::set<int> pointNumbers;
    for (const StoredTest &test : tests) {
        for (const PointResultRecord &point : test.evaluation.points)
            pointNumbers.insert(point.pointNo);
    }
    QStringList headers{ReportText::tr("Serial number"), ReportText::tr("Started"),
                        ReportText::tr("Verdict"), ReportText::tr("Signed")};
    for (int pointNo : pointNumbers)
        headers << ReportText::tr("F%1 (N)").arg(pointNo);
    QVector<QStringList> rows;
    rows.reserve(tests.size());
    QVector<StoredTest> ordered = tests;
    std::stable_sort(ordered.begin(), ordered.end(), [](const StoredTest &a, const StoredTest &b) {
        return a.header.startedAt < b.header.startedAt;
    });
    for (const StoredTest &test : ordered) {
        QStringList row{test.header.identity.serialNumber, localTime(test.header.startedAt),
                        testVerdict(test), latestSignature(test)};
        for (int pointNo : pointNumbers) {
            QString force;
            for (const PointResultRecord &point : test.evaluation.points) {
                if (point.pointNo == pointNo)
                    force = point.force ? NumberText::fixed(*point.force, test.header.forceDecimals)
                                        : ReportText::tr("not reached");
            }
            row << force;
        }
        rows << row;
    }
    page->table(QStringLiteral("<p style='font-size:%1pt'>%2</p>")
                    .arg(BodyPointSize + 2)
                    .arg(heading(ReportText::tr("Tests (%1)").arg(tests.size()))),
                headers, rows);
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

bool renderTest(QPagedPaintDevice *device, const StoredTest &test, const LabHeader &lab)
{
    const QString title = ReportText::tr("Test report No. %1").arg(test.id);
    ReportPage page(device, lab, title);
    if (!page.isActive())
        return false;
    page.text(heading(title), TitlePointSize);
    page.text(verdictBanner(test.evaluation), VerdictPointSize);
    page.text(pairTable(identityAndSettings(test)));

    const JudgingProgram judging = judgingProgram(test.evaluation);
    if (test.evaluation.judged)
        page.text(pairTable(programPairs(test.evaluation, judging)));
    else
        page.text(pairTable({{ReportText::tr("Program"), ReportText::tr("none")}}));

    QCustomPlot *plot = page.newPlot();
    CurvePlot::setUp(plot);
    CurvePlot::addTest(plot, test, CurvePlot::distinctColour(0), ReportText::tr("Forward / return (dashed)"));
    CurvePlot::addTestPoints(plot, test.evaluation);
    CurvePlot::fitAxes(plot);
    CurvePlot::putLegendBelow(plot);
    page.plots({plot}, CurvePlotHeight);

    if (test.evaluation.judged) {
        page.text(resultsTable(test, judging));
        page.text(figures(test));
    }
    page.text(review(test));
    return page.finish();
}

// A point's control chart, the location half above the spread, and what
// broke a rule; together on a page.
void controlChart(ReportPage *page, const RecordQueries::Batch &batch, int pointNo)
{
    const Spc::ControlChart chart = batch.chart(pointNo);
    if (chart.location.isEmpty())
        return;
    const QVector<Spc::Violation> violations = batch.violations(chart);
    const QString title = StatisticsText::pointTitle(pointNo);
    QCustomPlot *location = page->newPlot();
    QCustomPlot *spread = page->newPlot();
    ControlChartPlot::draw(location, chart, ControlChartPlot::Half::Location, violations, title);
    ControlChartPlot::draw(spread, chart, ControlChartPlot::Half::Spread, {}, title);
    page->beginGroup();
    page->plots({location}, LocationChartHeight);
    page->plots({spread}, SpreadChartHeight);
    const auto frozen = batch.frozen.constFind(pointNo);
    QStringList lines{StatisticsText::limitsSource(chart, frozen == batch.frozen.constEnd() ? nullptr : &*frozen)};
    for (const Spc::Violation &violation : violations)
        lines << StatisticsText::violation(violation, batch.rules);
    if (violations.isEmpty())
        lines << ReportText::tr("No rule switched on is broken.");
    QStringList escapedLines;
    for (const QString &line : qAsConst(lines))
        escapedLines << escaped(line);
    page->text(escapedLines.join(QStringLiteral("<br>")));
    page->endGroup();
}

bool renderBatch(QPagedPaintDevice *device, const RecordQueries::Batch &batch,
                 const QVector<StoredTest> &tests, const LabHeader &lab)
{
    const QString title = ReportText::tr("Batch report");
    ReportPage page(device, lab, title);
    if (!page.isActive())
        return false;
    page.text(heading(title), TitlePointSize);
    page.text(escaped(StatisticsText::filterDescription(batch.filter, batch.firstStartedAt,
                                                        batch.lastStartedAt))
              + QStringLiteral("<br>")
              + escaped(ReportText::tr("Printed %1").arg(localTime(QDateTime::currentDateTime()))));
    page.text(heading(StatisticsText::counts(batch.counts.springs(), batch.counts.passed,
                                             batch.counts.failed)),
              BodyPointSize + 2);
    page.text(escaped(ReportText::tr("Subgroup size: %1")
                          .arg(StatisticsText::subgroupSize(batch.subgroupSize)))
              + QStringLiteral("<br>") + escaped(StatisticsText::formulas(batch.subgroupSize))
              + QStringLiteral("<br>")
              + escaped(ReportText::tr("Control charts: %1; rules switched on: %2.")
                            .arg(batch.subgroupSize == 1 ? ReportText::tr("individuals and moving range")
                                                         : ReportText::tr("X-bar and s"),
                                 StatisticsText::ruleNumbers(batch.rules))));

    // Each point's figures and histogram on one page.
    for (const BatchStatistics::PointSummary &point : batch.points) {
        page.beginGroup();
        page.text(heading(StatisticsText::pointTitle(point.pointNo)), BodyPointSize + 1);
        MarkedCells marked;
        for (int column : StatisticsText::lowCapabilityColumns(point))
            marked.insert({0, column});
        page.text(gridTable(StatisticsText::headers(), {StatisticsText::row(point)}, marked));
        if (point.n > 0) {
            QCustomPlot *histogram = page.newPlot();
            HistogramPlot::draw(histogram, batch.histogram(point.pointNo), point,
                                StatisticsText::pointTitle(point.pointNo));
            page.plots({histogram}, HistogramHeight);
        }
        page.endGroup();
        if (point.n > 0)
            controlChart(&page, batch, point.pointNo);
    }
    testList(&page, tests);
    return page.finish();
}

bool writeTestPdf(const QString &fileName, const StoredTest &test, QString *error)
{
    const LabHeader lab = LabHeader::stored();
    return writePdf(fileName, error,
                    [&](QPagedPaintDevice *device) { return renderTest(device, test, lab); });
}

bool writeBatchPdf(const QString &fileName, const RecordQueries::Batch &batch,
                   const QVector<StoredTest> &tests, QString *error)
{
    const LabHeader lab = LabHeader::stored();
    return writePdf(fileName, error, [&](QPagedPaintDevice *device) {
        return renderBatch(device, batch, tests, lab);
    });
}

bool printTest(QPrinter *printer, const StoredTest &test)
{
    return renderTest(printer, test, LabHeader::stored());
}

bool printBatch(QPrinter *printer, const RecordQueries::Batch &batch, const QVector<StoredTest> &tests)
{
    return renderBatch(printer, batch, tests, LabHeader::stored());
}

} // namespace Reports

namespace {

QString machineVerdict(VerificationVerdict verdict)
{
    const bool passed = verdict == VerificationVerdict::Pass;
    return QStringLiteral("<p align=right style='color:%1'><b>%2</b></p>")
        .arg(QLatin1String(passed ? PassColour : FailColour),
             escaped(passed ? ReportText::tr("PASS") : ReportText::tr("FAIL")));
}

QString verdictWord(VerificationVerdict verdict)
{
    return verdict == VerificationVerdict::Pass ? ReportText::tr("pass") : ReportText::tr("fail");
}

// One table per pass and quantity measured, failing points marked.
void verificationPoints(ReportPage *page, const QString &caption, const QString &unit,
                        const QVector<VerificationPoint> &points, double permitted)
{
    if (points.isEmpty())
        return;
    QVector<QStringList> rows;
    MarkedCells marked;
    for (int i = 0; i < points.size(); ++i) {
        const VerificationPoint &point = points.at(i);
        const std::optional<double> error = point.errorPercent();
        const bool within = VerificationRules::withinPermitted(point, permitted);
        rows << QStringList{QString::number(i + 1), NumberText::force(point.reference),
                            NumberText::force(point.indicated),
                            error ? NumberText::fixed(*error, 2) : QString(),
                            within ? ReportText::tr("pass") : ReportText::tr("fail")};
        if (!within)
            marked.insert({i, 4});
    }
    page->text(heading(caption)
               + gridTable({ReportText::tr("Point"), ReportText::tr("Reference (%1)").arg(unit),
                            ReportText::tr("Machine (%1)").arg(unit), ReportText::tr("Error (%)"),
                            ReportText::tr("Verdict")},
                           rows, marked));
}

} // namespace

namespace Reports {

bool renderVerification(QPagedPaintDevice *device, const MachineVerification &v, const LabHeader &lab)
{
    const QString title = ReportText::tr("Machine verification certificate");
    ReportPage page(device, lab, title);
    if (!page.isActive())
        return false;
    page.text(heading(title), TitlePointSize);
    page.text(machineVerdict(v.finalVerdict()), VerdictPointSize);
    const QString notAdjusted = ReportText::tr("not adjusted");
    page.text(pairTable({
        {ReportText::tr("Station"), v.station},
        {ReportText::tr("Verification"), QString::number(v.id)},
        {ReportText::tr("Verified"), localTime(v.performedAt)},
        {ReportText::tr("Verified by"), v.performedBy},
        {ReportText::tr("Reference instrument"), v.reference.name},
        {ReportText::tr("Its certificate"), v.reference.certificate},
        {ReportText::tr("Its calibration due"), v.reference.dueDate.toString(Qt::ISODate)},
        {ReportText::tr("Permitted error"), ReportText::tr("±%1 % of reading").arg(v.permittedErrorPercent)},
        {ReportText::tr("As found"), verdictWord(v.asFoundVerdict)},
        {ReportText::tr("As left"), v.asLeftVerdict ? verdictWord(*v.asLeftVerdict) : notAdjusted},
        {ReportText::tr("Next due"), v.nextDue.toString(Qt::ISODate)},
        {ReportText::tr("Made"), v.source == QLatin1String("guided") ? ReportText::tr("guided by Torvelin")
                                                                    : ReportText::tr("by an external service")},
    }));
    page.text(escaped(ReportText::tr("Error = (machine − reference) / reference × 100; a point passes "
                                     "within ± the permitted error, its boundary included.")));
    const QString newton = QStringLiteral("N");
    const QString millimetre = QStringLiteral("mm");
    verificationPoints(&page, ReportText::tr("Force as found"), newton, v.asFound.force, v.permittedErrorPercent);
    verificationPoints(&page, ReportText::tr("Distance as found"), millimetre, v.asFound.distance, v.permittedErrorPercent);
    verificationPoints(&page, ReportText::tr("Force as left"), newton, v.asLeft.force, v.permittedErrorPercent);
    verificationPoints(&page, ReportText::tr("Distance as left"), millimetre, v.asLeft.distance, v.permittedErrorPercent);
    page.text(QStringLiteral("<br><br>") + escaped(ReportText::tr("Signature: ______________________    Date: ____________")));
    return page.finish();
}

bool renderSuspects(QPagedPaintDevice *device, const MachineVerification &failed,
                    const VerificationRules::SuspectPeriod &period, const QVector<SuspectTest> &tests,
                    const LabHeader &lab)
{
    const QString title = ReportText::tr("Suspect tests");
    ReportPage page(device, lab, title);
    if (!page.isActive())
        return false;
    page.text(heading(title), TitlePointSize);
    page.text(escaped(ReportText::tr("Station %1 failed its verification as found on %2 (verification %3). "
                                     "Every test the station made from %4 to %5 is suspect.")
                          .arg(failed.station, localTime(failed.performedAt))
                          .arg(failed.id)
                          .arg(period.from.isValid() ? localTime(period.from) : ReportText::tr("its first test"),
                               period.until.isValid() ? localTime(period.until) : ReportText::tr("now")))
              + QStringLiteral("<br>")
              + escaped(ReportText::tr("Printed %1").arg(localTime(QDateTime::currentDateTime()))));
    // How many per part number and batch: what goes to the customers.
    QMap<QPair<QString, QString>, int> perBatch;
    for (const SuspectTest &test : tests)
        ++perBatch[{test.partNumber, test.batch}];
    QVector<QStringList> batchRows;
    for (auto it = perBatch.cbegin(); it != perBatch.cend(); ++it)
        batchRows << QStringList{it.key().first, it.key().second, QString::number(it.value())};
    page.text(heading(ReportText::tr("Suspect tests: %1").arg(tests.size()))
              + gridTable({ReportText::tr("Part number"), ReportText::tr("Batch"), ReportText::tr("Tests")},
                          batchRows));
    QVector<QStringList> rows;
    for (const SuspectTest &test : tests) {
        rows << QStringList{QString::number(test.id), localTime(test.startedAt), test.partNumber, test.batch,
                            test.serialNumber};
    }
    page.table(heading(ReportText::tr("The tests")),
               {ReportText::tr("Record"), ReportText::tr("Started"), ReportText::tr("Part number"),
                ReportText::tr("Batch"), ReportText::tr("Serial number")},
               rows);
    return page.finish();
}

bool writeVerificationPdf(const QString &fileName, const MachineVerification &verification, QString *error)
{
    const LabHeader lab = LabHeader::stored();
    return writePdf(fileName, error,
                    [&](QPagedPaintDevice *device) { return renderVerification(device, verification, lab); });
}

bool writeSuspectsPdf(const QString &fileName, const MachineVerification &failed,
                      const VerificationRules::SuspectPeriod &period, const QVector<SuspectTest> &tests,
                      QString *error)
{
    const LabHeader lab = LabHeader::stored();
    return writePdf(fileName, error, [&](QPagedPaintDevice *device) {
        return renderSuspects(device, failed, period, tests, lab);
    });
}

} // namespace Reports
