#include "history/statisticswindow.h"
#include "ui_statisticswindow.h"

#include "widgets/widgetfit.h"
#include "history/controlchartplot.h"
#include "history/histogramplot.h"
#include "history/reports.h"
#include "history/statisticstext.h"
#include "widgets/filedialogs.h"
#include "settings/applocations.h"
#include "records/chartchoice.h"
#include "records/controllimitsstore.h"
#include "records/recordsdatabase.h"
#include "spc/ruletext.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {
const char LowCapabilityColour[] = "#c00000";
} // namespace

StatisticsWindow::StatisticsWindow(const HistoryFilter &filter, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , ui(new Ui::StatisticsWindow)
{
    ui->setupUi(this);
    ui->pointTable->verticalHeader()->hide();
    m_batch.filter = filter;
    // Opens on the station's choice, which its alarm judges by too.
    const ChartChoice choice = ChartChoice::stored();
    m_batch.rules = choice.rules;
    {
        const QSignalBlocker blocker(ui->subgroupSpin);
        ui->subgroupSpin->setValue(choice.subgroupSize);
    }
    m_batch.subgroupSize = ui->subgroupSpin->value();
    for (QCheckBox *check : ruleChecks())
        connect(check, &QCheckBox::toggled, this, &StatisticsWindow::rulesChosen);
    showRules();
    reload();
    showBatch();
    WidgetFit::fit(this);
}

// Reads the batch again (after freezing limits, too); false with a message.
bool StatisticsWindow::reload()
{
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    if (!db.isValid() || !RecordQueries::loadBatch(db, m_batch.filter, &m_batch, &error)) {
        QMessageBox::warning(this, windowTitle(),
                             tr("The statistics cannot be read.") + QLatin1Char('\n') + error);
        return false;
    }
    return true;
}

StatisticsWindow::~StatisticsWindow()
{
    delete ui;
}

void StatisticsWindow::showBatch()
{
    ui->filterLabel->setText(StatisticsText::filterDescription(
        m_batch.filter, m_batch.firstStartedAt, m_batch.lastStartedAt));
    ui->countsLabel->setText(
        StatisticsText::counts(m_batch.counts.springs(), m_batch.counts.passed, m_batch.counts.failed));
    const QStringList headers = StatisticsText::headers();
    ui->pointTable->setColumnCount(headers.size());
    ui->pointTable->setHorizontalHeaderLabels(headers);
    ui->pointTable->setRowCount(m_batch.points.size());
    ui->pointCombo->blockSignals(true);
    ui->pointCombo->clear();
    for (int row = 0; row < m_batch.points.size(); ++row) {
        const BatchStatistics::PointSummary &point = m_batch.points.at(row);
        const QStringList texts = StatisticsText::row(point);
        const QVector<int> low = StatisticsText::lowCapabilityColumns(point);
        for (int column = 0; column < texts.size(); ++column) {
            auto *item = new QTableWidgetItem(texts.at(column));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (low.contains(column)) {
                item->setForeground(QColor(LowCapabilityColour));
                item->setToolTip(tr("Below %1").arg(Spc::CapabilityGoal));
            }
            ui->pointTable->setItem(row, column, item);
        }
        ui->pointCombo->addItem(QString::number(point.pointNo), point.pointNo);
    }
    ui->pointCombo->blockSignals(false);
    WidgetFit::fitColumns(ui->pointTable);
    ui->reportBtn->setEnabled(m_batch.counts.springs() > 0);
    ui->printBtn->setEnabled(m_batch.counts.springs() > 0);
    on_pointCombo_currentIndexChanged(ui->pointCombo->currentIndex());
}

void StatisticsWindow::on_subgroupSpin_valueChanged(int size)
{
    const int shown = ui->pointCombo->currentIndex();
    m_batch.subgroupSize = size;
    rememberChoice();
    reload();
    showBatch();
    ui->pointCombo->setCurrentIndex(shown);
}

void StatisticsWindow::on_pointCombo_currentIndexChanged(int index)
{
    if (index < 0) {
        for (QCustomPlot *plot : {ui->histogramPlot, ui->locationPlot, ui->spreadPlot}) {
            plot->clearPlottables();
            plot->clearItems();
            plot->replot();
        }
        ui->violationList->clear();
        ui->freezeBtn->setEnabled(false);
        ui->withdrawBtn->setEnabled(false);
        return;
    }
    const int pointNo = ui->pointCombo->itemData(index).toInt();
    HistogramPlot::draw(ui->histogramPlot, m_batch.histogram(pointNo), *m_batch.point(pointNo),
                        StatisticsText::pointTitle(pointNo));
    ui->histogramPlot->replot();
    showChart(pointNo);
}

QVector<QCheckBox *> StatisticsWindow::ruleChecks() const
{
    return {ui->rule1Check, ui->rule2Check, ui->rule3Check, ui->rule4Check,
            ui->rule5Check, ui->rule6Check, ui->rule7Check, ui->rule8Check};
}

void StatisticsWindow::showChart(int pointNo)
{
    const Spc::ControlChart chart = m_batch.chart(pointNo);
    const QVector<Spc::Violation> violations = m_batch.violations(chart);
    const QString title = StatisticsText::pointTitle(pointNo);
    ControlChartPlot::draw(ui->locationPlot, chart, ControlChartPlot::Half::Location, violations, title);
    ControlChartPlot::draw(ui->spreadPlot, chart, ControlChartPlot::Half::Spread, {}, title);
    ui->locationPlot->replot();
    ui->spreadPlot->replot();
    const auto frozen = m_batch.frozen.constFind(pointNo);
    const Spc::FrozenLimits *limits = frozen == m_batch.frozen.constEnd() ? nullptr : &*frozen;
    ui->limitsLabel->setText(StatisticsText::limitsSource(chart, limits));
    ui->violationList->clear();
    for (const Spc::Violation &violation : violations)
        ui->violationList->addItem(StatisticsText::violation(violation, m_batch.rules));
    if (violations.isEmpty())
        ui->violationList->addItem(tr("No rule switched on is broken."));
    // Limits are frozen per part number, from a chart that has them.
    const bool onePart = !m_batch.filter.partNumber.trimmed().isEmpty();
    ui->freezeBtn->setEnabled(onePart && !chart.frozen && chart.locationLimits.has_value());
    ui->withdrawBtn->setEnabled(onePart && limits);
}

// The checkboxes as the rule set stands.
void StatisticsWindow::showRules()
{
    const QVector<QCheckBox *> checks = ruleChecks();
    for (int rule = 1; rule <= Spc::RuleCount; ++rule) {
        QCheckBox *check = checks.at(rule - 1);
        const QSignalBlocker blocker(check);
        check->setText(RuleText::name(rule, m_batch.rules));
        check->setChecked(m_batch.rules.isOn(rule));
    }
}

void StatisticsWindow::rulesChosen()
{
    const QVector<QCheckBox *> checks = ruleChecks();
    for (int rule = 1; rule <= Spc::RuleCount; ++rule)
        m_batch.rules.set(rule, checks.at(rule - 1)->isChecked());
    rememberChoice();
    on_pointCombo_currentIndexChanged(ui->pointCombo->currentIndex());
}

void StatisticsWindow::on_nelsonBtn_clicked()
{
    m_batch.rules = Spc::RuleSet::nelson();
    showRules();
    rememberChoice();
    on_pointCombo_currentIndexChanged(ui->pointCombo->currentIndex());
}

void StatisticsWindow::on_westernElectricBtn_clicked()
{
    m_batch.rules = Spc::RuleSet::westernElectric();
    showRules();
    rememberChoice();
    on_pointCombo_currentIndexChanged(ui->pointCombo->currentIndex());
}

void StatisticsWindow::rememberChoice()
{
    ChartChoice{m_batch.rules, m_batch.subgroupSize}.store();
}

void StatisticsWindow::on_freezeBtn_clicked()
{
    const int index = ui->pointCombo->currentIndex();
    if (index < 0)
        return;
    const int pointNo = ui->pointCombo->itemData(index).toInt();
    // The base period is the tests shown, judged by their own limits.
    RecordQueries::Batch base = m_batch;
    base.frozen.clear();
    std::optional<Spc::FrozenLimits> limits = Spc::limitsToFreeze(base.chart(pointNo));
    if (!limits)
        return;
    limits->baseFrom = m_batch.firstStartedAt;
    limits->baseTo = m_batch.lastStartedAt;
    limits->baseTests = m_batch.point(pointNo)->n;
    const QString part = m_batch.filter.partNumber.trimmed();
    if (QMessageBox::question(this, windowTitle(),
                              tr("Freeze the control limits of test point %1 for part number %2 "
                                 "from these %3 tests? Later tests of the part are judged against them.")
                                  .arg(pointNo)
                                  .arg(part)
                                  .arg(limits->baseTests))
        != QMessageBox::Yes)
        return;
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    if (!db.isValid() || !ControlLimitsStore::freeze(db, part, pointNo, *limits, &error)) {
        QMessageBox::warning(this, windowTitle(), tr("The limits could not be frozen.") + QLatin1Char('\n') + error);
        return;
    }
    if (reload())
        on_pointCombo_currentIndexChanged(index);
}

void StatisticsWindow::on_withdrawBtn_clicked()
{
    const int index = ui->pointCombo->currentIndex();
    if (index < 0)
        return;
    const int pointNo = ui->pointCombo->itemData(index).toInt();
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    if (!db.isValid()
        || !ControlLimitsStore::withdraw(db, m_batch.filter.partNumber, pointNo, &error)) {
        QMessageBox::warning(this, windowTitle(),
                             tr("The frozen limits could not be withdrawn.") + QLatin1Char('\n') + error);
        return;
    }
    if (reload())
        on_pointCombo_currentIndexChanged(index);
}

void StatisticsWindow::on_reportBtn_clicked()
{
    const QString suggested = AppLocations::dataDirectory()
                              + QStringLiteral("/batch_report.pdf");
    const QString fileName = FileDialogs::getSaveFileName(this, tr("Batch report"), suggested,
                                                          QStringLiteral("*.pdf"));
    if (fileName.isEmpty())
        return;
    QVector<StoredTest> tests;
    QString error;
    if (!loadTests(&tests))
        return;
    if (!Reports::writeBatchPdf(fileName, m_batch, tests, &error)) {
        QMessageBox::warning(this, windowTitle(),
                             tr("The report could not be written to %1.").arg(fileName)
                                 + QLatin1Char('\n') + error);
    }
}

void StatisticsWindow::on_printBtn_clicked()
{
    QVector<StoredTest> tests;
    if (!loadTests(&tests))
        return;
    QPrinter printer(QPrinter::ScreenResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        Reports::printBatch(&printer, m_batch, tests);
}

// The batch's tests for the report's list.
bool StatisticsWindow::loadTests(QVector<StoredTest> *tests)
{
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    if (db.isValid() && RecordQueries::loadTests(db, m_batch.filter, tests, &error))
        return true;
    QMessageBox::warning(this, windowTitle(), tr("The tests cannot be read.") + QLatin1Char('\n') + error);
    return false;
}
