// The History window over a real SQLite records database.
#include "mainwindow/historyactions.h"
#include "history/historymodel.h"
#include "history/historywindow.h"
#include "history/overlaywindow.h"
#include "records/verificationstore.h"
#include "widgets/filedialogs.h"
#include "support/dfqreader.h"
#include "support/recordfixture.h"
#include "qdas/dfqexport.h"
#include "records/recordqueries.h"

#include <QMainWindow>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

#include <qcustomplot.h>

class tst_HistoryWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { FileDialogs::restoreDefaults(); }
    void openHandsTheTestWithItsCurves();
    void overlayDrawsEveryTestSelected();
    void csvHoldsTheFilteredTests();
    void dfqIsTheCommandLinesFile();
    void suspectsOfAFailedVerification();
    // Last: they add tests.
    void openHistoryListsATestJustRecorded();
    void aLongListIsReadPageByPage();

private:
    void select(HistoryWindow *window, const QList<int> &rows);
    RecordFixture records;
    qint64 newest = 0;
};

void tst_HistoryWindow::initTestCase()
{
    QVERIFY2(records.opened, qPrintable(records.error));
    qRegisterMetaType<StoredTest>();
    qputenv("TORVELIN_DB", QFile::encodeName(records.config.sqlitePath));
    const QDateTime start(QDate(2026, 12, 8), QTime(8, 0), Qt::UTC);
    QVERIFY(records.add(start, "SP-20", "B7", "pass", {10}, 5, 15, {{0, 1, 5}, {1, 1, 4}}) > 0);
    QVERIFY(records.add(start.addSecs(60), "SP-30", "B7", "fail", {20}, 5, 15) > 0);
    newest = records.add(start.addSecs(120), "SP-20", "B8", "pass", {11}, 5, 15,
                         {{0, 1, 5}, {0, 2, 10}, {1, 2, 9}});
    QVERIFY(newest > 0);
}

void tst_HistoryWindow::select(HistoryWindow *window, const QList<int> &rows)
{
    auto *view = window->findChild<QTableView *>(QStringLiteral("testsView"));
    view->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void tst_HistoryWindow::openHandsTheTestWithItsCurves()
{
    HistoryWindow window;
    QCOMPARE(window.model()->rowCount(), 3);
    QCOMPARE(window.model()->testId(0), newest);
    QSignalSpy opened(&window, &HistoryWindow::sendStoredTest);
    select(&window, {0});
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("openBtn")), Qt::LeftButton);
    QCOMPARE(opened.count(), 1);
    const StoredTest test = opened.first().first().value<StoredTest>();
    QCOMPARE(test.id, newest);
    QCOMPARE(test.points.size(), 3);
    QCOMPARE(test.evaluation.points.size(), 1);
}

void tst_HistoryWindow::overlayDrawsEveryTestSelected()
{
    HistoryWindow window;
    select(&window, {0, 2});
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("overlayBtn")), Qt::LeftButton);
    auto *overlay = window.findChild<OverlayWindow *>();
    QVERIFY(overlay);
    // Forward and return of each test, the second test in another colour.
    QCOMPARE(overlay->plot()->graphCount(), 4);
    QCOMPARE(overlay->plot()->graph(0)->dataCount(), 2);
    QVERIFY(overlay->plot()->graph(0)->pen().color() != overlay->plot()->graph(2)->pen().color());
}

void tst_HistoryWindow::suspectsOfAFailedVerification()
{
    // The station passed between the first and the second test and failed
    // after the third.
    const QDateTime start(QDate(2026, 12, 8), QTime(8, 0), Qt::UTC);
    VerificationStore store(records.db());
    qint64 id = 0;
    for (const auto &[at, verdict] : {std::pair{start.addSecs(30), VerificationVerdict::Pass},
                                      std::pair{start.addSecs(180), VerificationVerdict::Fail}}) {
        MachineVerification v;
        v.station = QStringLiteral("bench");
        v.performedAt = at;
        v.asFoundVerdict = verdict;
        v.nextDue = QDate(2027, 12, 8);
        QVERIFY2(store.add(v, &id), qPrintable(store.lastError()));
    }
    HistoryWindow window;
    auto *suspects = window.findChild<QComboBox *>(QStringLiteral("suspectCombo"));
    QCOMPARE(suspects->count(), 2);
    QVERIFY(suspects->itemText(1).contains(QStringLiteral("bench, failed 2026-12-08")));
    suspects->setCurrentIndex(1);
    QMetaObject::invokeMethod(&window, "on_suspectCombo_activated", Q_ARG(int, 1));
    QCOMPARE(window.model()->rowCount(), 2);
    QCOMPARE(window.model()->testId(1), newest - 1);
    QVERIFY(!window.findChild<QCheckBox *>(QStringLiteral("fromCheck"))->isEnabled());
    suspects->setCurrentIndex(0);
}

void tst_HistoryWindow::csvHoldsTheFilteredTests()
{
    HistoryWindow window;
    window.findChild<QComboBox *>(QStringLiteral("partNumberCombo"))->setCurrentText(QStringLiteral("SP-20"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("results.csv"));
    FileDialogs::getSaveFileName = [&](QWidget *, const QString &, const QString &, const QString &) {
        return path;
    };
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("csvBtn")), Qt::LeftButton);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    // Header, two tests of SP-20, and the empty text after the last CR LF.
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(1).startsWith(QByteArray::number(newest) + ','));
}

// Export → Q-DAS writes the filter's part as torvelin-records export does,
// in the encoding chosen from the button's menu.
void tst_HistoryWindow::dfqIsTheCommandLinesFile()
{
    HistoryWindow window;
    window.findChild<QComboBox *>(QStringLiteral("partNumberCombo"))->setCurrentText(QStringLiteral("SP-20"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("SP-20.dfq"));
    QString suggested;
    FileDialogs::getSaveFileName = [&](QWidget *, const QString &, const QString &directory,
                                       const QString &) {
        suggested = directory;
        return path;
    };
    for (const auto &[action, encoding] :
         {std::make_pair("dfqWindows1252Action", Dfq::Encoding::Windows1252),
          std::make_pair("dfqUtf8Action", Dfq::Encoding::Utf8)}) {
        window.findChild<QAction *>(QLatin1String(action))->trigger();
        QVERIFY(suggested.endsWith(QLatin1String("/SP-20.dfq")));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QVector<StoredTest> tests;
        QByteArray expected;
        QString error;
        QVERIFY(RecordQueries::loadTests(records.db(), window.filter(), &tests, &error));
        QVERIFY2(DfqExport::file(QStringLiteral("SP-20"), tests, encoding, &expected, &error),
                 qPrintable(error));
        QCOMPARE(written, expected);
        DfqFile dfq;
        QVERIFY2(readDfq(written, &dfq, &error), qPrintable(error));
        QCOMPARE(dfq.partFields.value(QStringLiteral("K1001")), QStringLiteral("SP-20"));
        QCOMPARE(dfq.values.value(1).size(), 2);
    }
}

void tst_HistoryWindow::openHistoryListsATestJustRecorded()
{
    QMainWindow window;
    QMenu fileMenu;
    QMenu recordsMenu;
    HistoryActions actions(&window, &fileMenu, nullptr, &recordsMenu);
    actions.historyAction()->trigger();
    HistoryWindow *history = actions.historyWindow();
    QVERIFY(history);
    const int listed = history->model()->rowCount();

    const QDateTime start(QDate(2026, 12, 8), QTime(9, 0), Qt::UTC);
    const qint64 recorded = records.add(start, "SP-40", "B9", "pass", {10}, 5, 15);
    QVERIFY(recorded > 0);
    actions.setRecordedTest(recorded);
    QCOMPARE(history->model()->rowCount(), listed + 1);
    QCOMPARE(history->model()->testId(0), recorded);
}

// Two pages and a bit of tests, seven to each start time: each page goes on
// after the last row of the one before, ties included, none twice.
void tst_HistoryWindow::aLongListIsReadPageByPage()
{
    const int tests = 2 * HistoryModel::PageRows + 10;
    const QDateTime start(QDate(2026, 12, 9), QTime(6, 0), Qt::UTC);
    QList<qint64> added;
    QVERIFY(records.db().transaction());
    for (int i = 0; i < tests; ++i)
        added.prepend(records.add(start.addSecs(i / 7), "SP-LONG", "B1", "pass"));
    QVERIFY(records.db().commit());
    // Newest first, and of one start time the higher id first.
    std::stable_sort(added.begin(), added.end(), [](qint64 a, qint64 b) { return a > b; });

    HistoryWindow window;
    window.findChild<QComboBox *>(QStringLiteral("partNumberCombo"))->setCurrentText(QStringLiteral("SP-LONG"));
    window.refresh();
    HistoryModel *model = window.model();
    QCOMPARE(model->rowCount(), HistoryModel::PageRows);
    while (model->canFetchMore(QModelIndex()))
        model->fetchMore(QModelIndex());
    QCOMPARE(model->rowCount(), tests);
    for (int row = 0; row < tests; ++row)
        QCOMPARE(model->testId(row), added.at(row));
}

QTEST_MAIN(tst_HistoryWindow)
#include "tst_historywindow.moc"
