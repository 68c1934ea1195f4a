// The statistics window's capability and control chart over a real SQLite
// records database.
#include "history/statisticswindow.h"
#include "records/chartchoice.h"
#include "records/controllimitsstore.h"

#include "support/modalwidget.h"
#include "support/recordfixture.h"

#include <QCheckBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

namespace {
const char Part[] = "SP-50";
constexpr int SteadyTests = 20;
} // namespace

class tst_StatisticsWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void capabilityAndChartFollowTheSubgroupSize();
    void westernElectricPresetSwitchesTheRules();
    void frozenLimitsJudgeTheWholeFilter();

private:
    RecordFixture records;
};

// Twenty steady springs (10.0 ± 0.2 N at point 1), then one at 12 N.
void tst_StatisticsWindow::initTestCase()
{
    QVERIFY2(records.opened, qPrintable(records.error));
    qputenv("TORVELIN_DB", QFile::encodeName(records.config.sqlitePath));
    // The station's choice outlives a window (and a run of this test).
    ChartChoice().store();
    const QDateTime start(QDate(2026, 12, 8), QTime(8, 0), Qt::UTC);
    for (int i = 0; i <= SteadyTests; ++i) {
        const double force = i < SteadyTests ? 10 + 0.1 * ((i * 7) % 5 - 2) : 12;
        QVERIFY(records.add(start.addSecs(60 * i), Part, "B1", "pass", {force}, 5, 15) > 0);
    }
}

void tst_StatisticsWindow::capabilityAndChartFollowTheSubgroupSize()
{
    HistoryFilter filter;
    filter.partNumber = QLatin1String(Part);
    StatisticsWindow window(filter);
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("pointTable"));
    QStringList headers;
    for (int column = 0; column < table->columnCount(); ++column)
        headers << table->horizontalHeaderItem(column)->text();
    QVERIFY(headers.contains(QLatin1String("Pp")) && headers.contains(QLatin1String("Ppk")));
    QVERIFY(headers.contains(QLatin1String("Cp")) && headers.contains(QLatin1String("Cpk")));
    const int cpColumn = int(headers.indexOf(QLatin1String("Cp")));
    const QString cpOfFives = table->item(0, cpColumn)->text();

    // Subgroups of one: the 12 N spring is an individual beyond 3σ.
    window.findChild<QSpinBox *>(QStringLiteral("subgroupSpin"))->setValue(1);
    QCOMPARE(window.batch().subgroupSize, 1);
    QVERIFY(table->item(0, cpColumn)->text() != cpOfFives);
    auto *violations = window.findChild<QListWidget *>(QStringLiteral("violationList"));
    QStringList listed;
    for (int row = 0; row < violations->count(); ++row)
        listed << violations->item(row)->text();
    QVERIFY2(listed.contains(QString::fromUtf8("Subgroup 21: rule 1 one point beyond 3σ")),
             qPrintable(listed.join(QLatin1Char('\n'))));
}

void tst_StatisticsWindow::westernElectricPresetSwitchesTheRules()
{
    StatisticsWindow window(HistoryFilter{});
    window.findChild<QPushButton *>(QStringLiteral("westernElectricBtn"))->click();
    QCOMPARE(window.batch().rules, Spc::RuleSet::westernElectric());
    for (int rule = 1; rule <= Spc::RuleCount; ++rule) {
        auto *check = window.findChild<QCheckBox *>(QStringLiteral("rule%1Check").arg(rule));
        QCOMPARE(check->isChecked(), rule == 1 || rule == 2 || rule == 5 || rule == 6);
    }
    QVERIFY(window.findChild<QCheckBox *>(QStringLiteral("rule2Check"))->text().startsWith(QLatin1String("2 8 ")));
    // A rule switched by hand leaves the preset.
    window.findChild<QCheckBox *>(QStringLiteral("rule7Check"))->setChecked(true);
    QVERIFY(window.batch().rules.isOn(7));
    // The station's alarm and the next window judge by the same.
    QCOMPARE(ChartChoice::stored().rules, window.batch().rules);
    StatisticsWindow next(HistoryFilter{});
    QCOMPARE(next.batch().rules, window.batch().rules);
    ChartChoice().store();
}

// Limits frozen from the steady springs judge them and the one after.
void tst_StatisticsWindow::frozenLimitsJudgeTheWholeFilter()
{
    HistoryFilter base;
    base.partNumber = QLatin1String(Part);
    base.startedBefore = QDateTime(QDate(2026, 12, 8), QTime(8, SteadyTests), Qt::UTC);
    {
        StatisticsWindow window(base);
        window.findChild<QSpinBox *>(QStringLiteral("subgroupSpin"))->setValue(1);
        whenModalOpens(&window, [](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            QVERIFY(box->text().contains(QLatin1String("20 tests")));
            box->button(QMessageBox::Yes)->click();
        });
        window.findChild<QPushButton *>(QStringLiteral("freezeBtn"))->click();
        QVERIFY(window.batch().frozen.contains(1));
        QVERIFY(window.findChild<QPushButton *>(QStringLiteral("withdrawBtn"))->isEnabled());
    }
    std::optional<Spc::FrozenLimits> frozen;
    QString error;
    QVERIFY2(ControlLimitsStore::inForce(records.db(), QLatin1String(Part), 1, &frozen, &error), qPrintable(error));
    QVERIFY(frozen);
    QCOMPARE(frozen->baseTests, SteadyTests);
    QCOMPARE(frozen->subgroupSize, 1);

    HistoryFilter all;
    all.partNumber = QLatin1String(Part);
    StatisticsWindow window(all);
    window.findChild<QSpinBox *>(QStringLiteral("subgroupSpin"))->setValue(1);
    const Spc::ControlChart chart = window.batch().chart(1);
    QVERIFY(chart.frozen);
    QCOMPARE(chart.locationLimits->upper, frozen->location.upper);
    window.findChild<QPushButton *>(QStringLiteral("withdrawBtn"))->click();
    QVERIFY(!window.batch().chart(1).frozen);
}

QTEST_MAIN(tst_StatisticsWindow)
#include "tst_statisticswindow.moc"
