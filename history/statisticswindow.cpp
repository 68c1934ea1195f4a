#include "history/statisticswindow.h"
#include "ui_statisticswindow.h"

#include "widgets/widgetfit.h"
#include "history/histogramplot.h"
#include "history/reports.h"
#include "history/statisticstext.h"
#include "widgets/filedialogs.h"
#include "settings/applocations.h"
#include "records/recordsdatabase.h"

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
    m_batch.subgroupSize = ui->subgroupSpin->value();
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    if (!db.isValid() || !RecordQueries::loadBatch(db, filter, &m_batch, &error)) {
        QMessageBox::warning(this, windowTitle(),
                             tr("The statistics cannot be read.") + QLatin1Char('\n') + error);
    }
    showBatch();
    WidgetFit::fit(this);
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
        StatisticsText::counts(m_batch.counts.count, m_batch.counts.passed, m_batch.counts.failed));
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
    ui->reportBtn->setEnabled(m_batch.counts.count > 0);
    ui->printBtn->setEnabled(m_batch.counts.count > 0);
    on_pointCombo_currentIndexChanged(ui->pointCombo->currentIndex());
}

void StatisticsWindow::on_subgroupSpin_valueChanged(int size)
{
    const int shown = ui->pointCombo->currentIndex();
    m_batch.setSubgroupSize(size);
    showBatch();
    ui->pointCombo->setCurrentIndex(shown);
}

void StatisticsWindow::on_pointCombo_currentIndexChanged(int index)
{
    if (index < 0) {
        ui->histogramPlot->clearPlottables();
        ui->histogramPlot->clearItems();
        ui->histogramPlot->replot();
        return;
    }
    const int pointNo = ui->pointCombo->itemData(index).toInt();
    HistogramPlot::draw(ui->histogramPlot, m_batch.histogram(pointNo), *m_batch.point(pointNo),
                        StatisticsText::pointTitle(pointNo));
    ui->histogramPlot->replot();
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
