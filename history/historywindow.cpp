#include "history/historywindow.h"
#include "ui_historywindow.h"

#include "history/historymodel.h"
#include "history/overlaywindow.h"
#include "records/recordqueries.h"
#include "history/reports.h"
#include "qdas/dfqexport.h"
#include "records/review.h"
#include "records/resultscsv.h"
#include "history/statisticswindow.h"
#include "widgets/filedialogs.h"
#include "settings/applocations.h"
#include "records/recordsdatabase.h"
#include "records/recordsnotifier.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QScrollBar>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimer>

namespace {

// Days the date filter shows when it is first switched on.
constexpr int DefaultDaysBack = 30;
// Room for a part number or batch in the filter's fields.
constexpr int IdentityCharacters = 10;
// How long the list waits for more notifications before it is read again:
// well inside the second a lab expects.
constexpr int ChangesGatherMs = 200;

QString reportFolder()
{
    return AppLocations::dataDirectory();
}

void setChoices(QComboBox *combo, const QStringList &values)
{
    const QString typed = combo->currentText();
    combo->clear();
    combo->addItem(QString());
    combo->addItems(values);
    combo->setCurrentText(typed);
}

} // namespace

HistoryWindow::HistoryWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , ui(new Ui::HistoryWindow)
    , m_model(new HistoryModel(this))
    , m_notifier(new RecordsNotifier(this))
    , m_changedTimer(new QTimer(this))
{
    ui->setupUi(this);
    for (QComboBox *combo : {ui->partNumberCombo, ui->batchCombo}) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(IdentityCharacters);
    }
    ui->testsView->setModel(m_model);
    ui->testsView->verticalHeader()->hide();
    ui->testsView->horizontalHeader()->setStretchLastSection(true);
    const QDate today = QDate::currentDate();
    ui->fromDate->setDate(today.addDays(-DefaultDaysBack));
    ui->toDate->setDate(today);
    ui->fromDate->setEnabled(false);
    ui->toDate->setEnabled(false);
    connect(ui->fromCheck, &QCheckBox::toggled, ui->fromDate, &QWidget::setEnabled);
    connect(ui->toCheck, &QCheckBox::toggled, ui->toDate, &QWidget::setEnabled);
    connect(ui->testsView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::updateButtons);
    connect(ui->testsView, &QAbstractItemView::doubleClicked, this,
            &HistoryWindow::on_openBtn_clicked);
    // A station's test brings a notification at its start, its end and
    // each signature: one reading for a burst of them.
    m_changedTimer->setSingleShot(true);
    m_changedTimer->setInterval(ChangesGatherMs);
    connect(m_notifier, &RecordsNotifier::testChanged, m_changedTimer, QOverload<>::of(&QTimer::start));
    // Back on a server that restarted: what it notified meanwhile is lost.
    connect(m_notifier, &RecordsNotifier::listeningAgain, m_changedTimer, QOverload<>::of(&QTimer::start));
    connect(m_changedTimer, &QTimer::timeout, this, &HistoryWindow::refresh);
    auto *dfqMenu = new QMenu(ui->dfqBtn);
    QAction *windows1252 = dfqMenu->addAction(tr("Windows-1252 (what Q-DAS readers expect)…"));
    windows1252->setObjectName(QStringLiteral("dfqWindows1252Action"));
    connect(windows1252, &QAction::triggered, this, [this] { exportDfq(Dfq::Encoding::Windows1252); });
    QAction *utf8 = dfqMenu->addAction(tr("UTF-8 (for Chinese names)…"));
    utf8->setObjectName(QStringLiteral("dfqUtf8Action"));
    connect(utf8, &QAction::triggered, this, [this] { exportDfq(Dfq::Encoding::Utf8); });
    ui->dfqBtn->setMenu(dfqMenu);
    refresh();
}

void HistoryWindow::showEvent(QShowEvent *event)
{
    // Measured once the style has polished the list: its headings' padding
    // is known only then.
    if (!m_shown) {
        m_shown = true;
        ui->testsView->resizeColumnsToContents();
        showEveryColumn();
    }
    QWidget::showEvent(event);
}

// Opens wide enough for every column of the list (the window system keeps
// it on the screen); the operator may make it narrower, the list scrolls.
void HistoryWindow::showEveryColumn()
{
    QTableView *view = ui->testsView;
    const QHeaderView *header = view->horizontalHeader();
    int columns = 2 * view->frameWidth() + view->verticalScrollBar()->sizeHint().width();
    int last = 0;
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (view->isColumnHidden(column))
            continue;
        last = qMax(view->columnWidth(column), header->sectionSizeHint(column));
        columns += last;
    }
    // The stretched last column is never narrower than the header's default.
    if (header->stretchLastSection())
        columns += qMax(0, header->defaultSectionSize() - last);
    const QMargins margins = layout()->contentsMargins();
    const int wanted = columns + margins.left() + margins.right();
    if (wanted > width())
        resize(wanted, height());
}

HistoryWindow::~HistoryWindow()
{
    delete ui;
}

HistoryFilter HistoryWindow::filter() const
{
    HistoryFilter filter;
    filter.partNumber = ui->partNumberCombo->currentText();
    filter.batch = ui->batchCombo->currentText();
    filter.setDays(ui->fromCheck->isChecked() ? ui->fromDate->date() : QDate(),
                   ui->toCheck->isChecked() ? ui->toDate->date() : QDate());
    // The items are in the order of the verdicts.
    filter.verdict = static_cast<HistoryFilter::Verdict>(ui->verdictCombo->currentIndex());
    if (const Suspicion *suspicion = chosenSuspicion()) {
        const HistoryFilter suspects = VerificationStore::suspectFilter(suspicion->stations, suspicion->period);
        filter.stations = suspects.stations;
        filter.startedFrom = suspects.startedFrom;
        filter.startedBefore = suspects.startedBefore;
    }
    return filter;
}

QList<qint64> HistoryWindow::selectedTests() const
{
    QList<qint64> ids;
    const QModelIndexList rows = ui->testsView->selectionModel()->selectedRows();
    QList<int> numbers;
    for (const QModelIndex &row : rows)
        numbers << row.row();
    std::sort(numbers.begin(), numbers.end());
    for (int row : numbers)
        ids << m_model->testId(row);
    return ids;
}

bool HistoryWindow::database(QSqlDatabase *db)
{
    QString error;
    *db = RecordsDatabase::forCurrentThread(&error);
    if (db->isValid())
        return true;
    showFailure(tr("The records database cannot be opened."), error);
    return false;
}

void HistoryWindow::showFailure(const QString &what, const QString &why)
{
    QMessageBox::warning(this, tr("History"), why.isEmpty() ? what : what + QLatin1Char('\n') + why);
}

void HistoryWindow::fillChoices(const QSqlDatabase &db)
{
    QStringList values;
    if (RecordQueries::distinctValues(db, RecordQueries::IdentityColumn::PartNumber, &values, nullptr))
        setChoices(ui->partNumberCombo, values);
    if (RecordQueries::distinctValues(db, RecordQueries::IdentityColumn::Batch, &values, nullptr))
        setChoices(ui->batchCombo, values);
}

const HistoryWindow::Suspicion *HistoryWindow::chosenSuspicion() const
{
    const int index = ui->suspectCombo->currentIndex() - 1;
    return index >= 0 && index < m_suspicions.size() ? &m_suspicions.at(index) : nullptr;
}

void HistoryWindow::fillSuspicions(const QSqlDatabase &db)
{
    const qint64 chosen = chosenSuspicion() ? chosenSuspicion()->failed.id : 0;
    VerificationStore store(db);
    QVector<MachineVerification> failed;
    if (!store.failedAsFound(&failed))
        return;
    m_suspicions.clear();
    ui->suspectCombo->clear();
    ui->suspectCombo->addItem(tr("no failed verification"));
    for (const MachineVerification &v : failed) {
        Suspicion suspicion{v, {}, {}};
        QVector<MachineVerification> ofStation;
        if (!store.stationNames(v.station, &suspicion.stations) || !store.readStation(suspicion.stations, &ofStation))
            return;
        suspicion.period = *VerificationRules::suspectPeriod(ofStation, v.id);
        m_suspicions << suspicion;
        ui->suspectCombo->addItem(tr("%1, failed %2 (verification %3)")
                                      .arg(v.station, v.performedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                                      .arg(v.id));
        if (v.id == chosen)
            ui->suspectCombo->setCurrentIndex(ui->suspectCombo->count() - 1);
    }
    const bool suspects = chosenSuspicion() != nullptr;
    // The period is the verification's, not days the operator picks.
    for (QWidget *days : {static_cast<QWidget *>(ui->fromCheck), static_cast<QWidget *>(ui->toCheck)})
        days->setEnabled(!suspects);
    ui->fromDate->setEnabled(!suspects && ui->fromCheck->isChecked());
    ui->toDate->setEnabled(!suspects && ui->toCheck->isChecked());
    ui->suspectsPdfBtn->setEnabled(suspects);
}

void HistoryWindow::refresh()
{
    QSqlDatabase db;
    if (!database(&db))
        return;
    // Listening follows the configured database; without a listener the
    // list is still read on Search.
    m_notifier->start(DatabaseConfig::current());
    fillChoices(db);
    fillSuspicions(db);
    const HistoryFilter current = filter();
    const QList<qint64> selected = selectedTests();
    QString error;
    if (!m_model->select(db, current, &error))
        showFailure(tr("The tests cannot be read."), error);
    selectTests(selected);
    ui->testsView->hideColumn(RecordQueries::ColumnForceDecimals);
    ui->testsView->hideColumn(RecordQueries::ColumnAmended);
    ui->testsView->hideColumn(RecordQueries::ColumnGapFrom);
    ui->testsView->hideColumn(RecordQueries::ColumnGapTo);
    ui->testsView->hideColumn(RecordQueries::ColumnSignatureCount);
    ui->testsView->resizeColumnsToContents();
    RecordQueries::VerdictCounts counts;
    m_inFilter = 0;
    if (RecordQueries::countVerdicts(db, current, &counts, nullptr)) {
        m_inFilter = counts.count;
        // Aborted tests are listed, but no springs judged.
        const QString judged = tr("%1 tests: %2 pass, %3 fail")
                                   .arg(counts.springs())
                                   .arg(counts.passed)
                                   .arg(counts.failed);
        ui->countLabel->setText(counts.aborted == 0
                                    ? judged
                                    : tr("%1; %n aborted", nullptr, counts.aborted).arg(judged));
    }
    updateButtons();
}

// What the operator had selected stays selected when the list is read again.
void HistoryWindow::selectTests(const QList<qint64> &ids)
{
    if (ids.isEmpty())
        return;
    QItemSelection selection;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (ids.contains(m_model->testId(row)))
            selection.select(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
    }
    ui->testsView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void HistoryWindow::updateButtons()
{
    const int selected = ui->testsView->selectionModel()->selectedRows().size();
    ui->openBtn->setEnabled(selected == 1);
    ui->reportBtn->setEnabled(selected == 1);
    ui->overlayBtn->setEnabled(selected >= 1);
    ui->signBtn->setEnabled(selected >= 1 || m_inFilter > 0);
    ui->amendBtn->setEnabled(selected == 1);
}

void HistoryWindow::on_searchBtn_clicked()
{
    refresh();
}

bool HistoryWindow::loadSelected(QVector<StoredTest> *tests)
{
    const QList<qint64> ids = selectedTests();
    QSqlDatabase db;
    if (ids.isEmpty() || !database(&db))
        return false;
    tests->clear();
    for (qint64 id : ids) {
        StoredTest test;
        QString error;
        if (!RecordQueries::loadTest(db, id, true, &test, &error)) {
            showFailure(tr("Test %1 cannot be read.").arg(id), error);
            return false;
        }
        tests->append(test);
    }
    return true;
}

void HistoryWindow::on_openBtn_clicked()
{
    QVector<StoredTest> tests;
    if (loadSelected(&tests) && tests.size() == 1)
        emit sendStoredTest(tests.first());
}

void HistoryWindow::on_overlayBtn_clicked()
{
    QVector<StoredTest> tests;
    if (!loadSelected(&tests))
        return;
    auto *overlay = new OverlayWindow(tests, this);
    overlay->setAttribute(Qt::WA_DeleteOnClose);
    overlay->show();
}

void HistoryWindow::on_reportBtn_clicked()
{
    QVector<StoredTest> tests;
    if (!loadSelected(&tests) || tests.size() != 1)
        return;
    const StoredTest &test = tests.first();
    QString error;
    const QString suggested =
        reportFolder() + QStringLiteral("/test_%1.pdf").arg(test.id);
    const QString fileName =
        FileDialogs::getSaveFileName(this, tr("Test report"), suggested, QStringLiteral("*.pdf"));
    if (fileName.isEmpty())
        return;
    if (!Reports::writeTestPdf(fileName, test, &error))
        showFailure(tr("The report could not be written to %1.").arg(fileName), error);
}

void HistoryWindow::on_signBtn_clicked()
{
    const DatabaseConfig config = DatabaseConfig::current();
    SignDialog dialog(selectedTests().size(), m_inFilter, RecordsReview::checksPassword(config),
                      RecordsReview::signerName(config), this);
    connect(&dialog, &SignDialog::sendSignRequest, this, &HistoryWindow::receiveSignRequest);
    dialog.exec();
}

void HistoryWindow::receiveSignRequest(const SignRequest &request)
{
    QList<qint64> tests = selectedTests();
    QString error;
    if (request.wholeFilter) {
        QSqlDatabase db;
        if (!database(&db))
            return;
        if (!RecordQueries::testIds(db, filter(), &tests, &error)) {
            showFailure(tr("The tests cannot be read."), error);
            return;
        }
    }
    if (!RecordsReview::sign(DatabaseConfig::current(), request.signer, tests, request.meaning, request.comment,
                             &error)) {
        showFailure(tr("Nothing was signed."), error);
        return;
    }
    refresh();
}

void HistoryWindow::on_amendBtn_clicked()
{
    const QList<qint64> ids = selectedTests();
    QSqlDatabase db;
    if (ids.size() != 1 || !database(&db))
        return;
    StoredTest test;
    QString error;
    if (!RecordQueries::loadTest(db, ids.first(), false, &test, &error)) {
        showFailure(tr("Test %1 cannot be read.").arg(ids.first()), error);
        return;
    }
    const DatabaseConfig config = DatabaseConfig::current();
    AmendDialog dialog(test.id, test.header.identity, RecordsReview::checksPassword(config),
                       RecordsReview::signerName(config), this);
    connect(&dialog, &AmendDialog::sendAmendRequest, this, &HistoryWindow::receiveAmendRequest);
    dialog.exec();
}

void HistoryWindow::receiveAmendRequest(const AmendRequest &request)
{
    QString error;
    if (!RecordsReview::amend(DatabaseConfig::current(), request.signer, request.testId, request.field,
                              request.value, request.reason, &error)) {
        showFailure(tr("Nothing was amended."), error);
        return;
    }
    refresh();
}

void HistoryWindow::on_statisticsBtn_clicked()
{
    auto *statistics = new StatisticsWindow(filter(), this);
    statistics->setAttribute(Qt::WA_DeleteOnClose);
    statistics->show();
}

void HistoryWindow::on_csvBtn_clicked()
{
    exportFilter(tr("Export CSV"), reportFolder() + QStringLiteral("/results.csv"), QStringLiteral("*.csv"),
                 [](const QVector<StoredTest> &tests, QByteArray *bytes, QString *) {
                     *bytes = ResultsCsv::document(tests);
                     return true;
                 });
}

void HistoryWindow::exportDfq(Dfq::Encoding encoding)
{
    const QString part = filter().partNumber.trimmed();
    if (part.isEmpty()) {
        showFailure(tr("A Q-DAS file holds the tests of one part number: choose it in the filter."),
                    QString());
        return;
    }
    // A part number may hold characters a file name cannot.
    QString safePart = part;
    safePart.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    exportFilter(tr("Export Q-DAS"), reportFolder() + QStringLiteral("/%1.dfq").arg(safePart),
                 QStringLiteral("*.dfq"),
                 [&](const QVector<StoredTest> &tests, QByteArray *bytes, QString *error) {
                     return DfqExport::file(part, tests, encoding, bytes, error);
                 });
}

void HistoryWindow::exportFilter(const QString &caption, const QString &suggested, const QString &pattern,
                                 const FileMaker &make)
{
    QSqlDatabase db;
    if (!database(&db))
        return;
    const QString fileName = FileDialogs::getSaveFileName(this, caption, suggested, pattern);
    if (fileName.isEmpty())
        return;
    QVector<StoredTest> tests;
    QByteArray bytes;
    QString error;
    if (!RecordQueries::loadTests(db, filter(), &tests, &error)) {
        showFailure(tr("The tests cannot be read."), error);
        return;
    }
    if (!make(tests, &bytes, &error)) {
        showFailure(tr("Nothing was written to %1.").arg(fileName), error);
        return;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) < 0 || !file.commit())
        showFailure(tr("The results could not be written to %1.").arg(fileName), file.errorString());
}

void HistoryWindow::on_suspectCombo_activated(int index)
{
    Q_UNUSED(index)
    refresh();
}

void HistoryWindow::on_suspectsPdfBtn_clicked()
{
    const Suspicion *suspicion = chosenSuspicion();
    QSqlDatabase db;
    if (!suspicion || !database(&db))
        return;
    const Suspicion chosen = *suspicion;
    const QString suggested =
        reportFolder() + QStringLiteral("/suspects_verification_%1.pdf").arg(chosen.failed.id);
    const QString fileName =
        FileDialogs::getSaveFileName(this, tr("Suspect tests"), suggested, QStringLiteral("*.pdf"));
    if (fileName.isEmpty())
        return;
    VerificationStore store(db);
    QVector<SuspectTest> tests;
    QString error;
    if (!store.suspects(chosen.stations, chosen.period, &tests)) {
        showFailure(tr("The tests cannot be read."), store.lastError());
        return;
    }
    if (!Reports::writeSuspectsPdf(fileName, chosen.failed, chosen.period, tests, &error))
        showFailure(tr("The report could not be written to %1.").arg(fileName), error);
}
