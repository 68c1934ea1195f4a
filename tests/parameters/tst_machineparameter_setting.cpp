#include "parameterdialog.h"

#include "numbers/numbertext.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSet>
#include <QTranslator>
#include <QtTest>

namespace {

// Grid rows as the operator sees them: "" an empty cell, a plain text a
// caption label, "E:name" a line edit, "L:name" a named label, and
// "B:name=caption" a push button.
QStringList settingRow(int row)
{
    static const QStringList ordinals {"1st", "2nd", "3rd", "4th", "5th"};
    static const QStringList springTitles {"effective winding", "Spring Rate(N/mm)",
                                           "Free Length(mm)", "mean diameter(mm)",
                                           "wire diameter(mm)"};
    static const QStringList springEdits {"effectWindingEdit", "springRateEdit", "freeLengthEdit",
                                          "meanDiameterEdit", "wireDiameterEdit"};
    if (row == 0)
        return {"", "", "", "Test Number", "E:testNumEdit", "", "Repeat Number", "E:repeatNumEdit"};
    if (row == 1)
        return {"", "", "", "Distance(mm)", "Force(N)", "Lower(N)", "Upper(N)", "Tol(%)"};
    if (row == 7)
        return {"Speed(mm/min)", "E:speedEdit", "", "B:preBtn=Pre", "B:nextBtn=Next",
                "B:pushButton=New", "B:pushButton_2=Delete", "B:pushButton_3=Save"};
    const QString o = ordinals.at(row - 2);
    return {springTitles.at(row - 2), "E:" + springEdits.at(row - 2), o, "E:distance" + o + "Edit",
            "E:force" + o + "Edit", "E:lower" + o + "Edit", "E:upper" + o + "Edit",
            "E:tol" + o + "Edit"};
}

QStringList dataRow(int row)
{
    static const QStringList ordinals {"1st", "2nd", "3rd", "4th", "5th"};
    const auto cells = [](const QString &title, const QString &pattern) {
        QStringList r {title};
        for (const QString &o : ordinals)
            r << "L:" + pattern.arg(o);
        return r;
    };
    switch (row) {
    case 0: return {"", "", "Group Number", "L:dataGroupNumEdit", "Test Number", "L:dataTestNumLabel"};
    case 1: return {"Test Point", "1", "2", "3", "4", "5"};
    case 2: return cells("distance(mm)", "dataDistance%1Label");
    case 3: return cells("Force(N)", "dataForce%1Label");
    case 4: return cells("S.Rate", "sRate%1Label");
    case 5: return {"I.Load", "L:iLoadLabel", "", "", "", ""};
    default:
        return {"", "B:dataPreGroupBtn=Pre Group", "B:dataNextGroupBtn=Next Group",
                "B:dataPreBtn=Pre", "B:dataNextBtn=Next", ""};
    }
}

QString describe(QWidget *w)
{
    if (!w)
        return QString();
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return "E:" + edit->objectName();
    if (auto *button = qobject_cast<QPushButton *>(w))
        return "B:" + button->objectName() + "=" + button->text();
    auto *label = qobject_cast<QLabel *>(w);
    if (label && label->objectName().startsWith("label"))
        return label->text();
    if (label)
        return "L:" + label->objectName();
    return w->metaObject()->className();
}

QList<QWidget *> gridWidgets(QGridLayout *grid)
{
    QList<QWidget *> widgets;
    for (int i = 0; i < grid->count(); ++i)
        widgets << grid->itemAt(i)->widget();
    return widgets;
}

// Answers every lookup with a marked text and records which it was asked.
class RecordingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *,
                      int) const override
    {
        lookups.insert(QString::fromUtf8(context) + '|' + QString::fromUtf8(sourceText));
        return "~" + QString::fromUtf8(sourceText);
    }
    bool isEmpty() const override { return false; }
    mutable QSet<QString> lookups;
};

} // namespace

class TestMachineParameterSetting : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void dialogFrameMatchesForm();
    void gridCellsMatchForm_data();
    void gridCellsMatchForm();
    void gridsFillTheirPagesInElevenPoint();
    void cellsStartEmptyAndExtrasDisabled();
    void textsAreLookedUpInFormContext();
    void okAndCancelCloseWithoutRequest_data();
    void okAndCancelCloseWithoutRequest();

    void answerFillsEveryField();
    void numberTexts_data();
    void numberTexts();
    void pagingRequests_data();
    void pagingRequests();
    void countersMoveOnlyWithAnswer();
    void pagingIdleBeforeFirstAnswer();
    void shortAnswerIsIgnored_data();
    void shortAnswerIsIgnored();
    void answerLeavesDataPageAndTab();
};

void TestMachineParameterSetting::init()
{
    forceDecimals = 3;
    machineParameter::resetLastDataTest();
}

void TestMachineParameterSetting::dialogFrameMatchesForm()
{
    ParameterDialog p;
    // The form's geometry is where the dialog starts; it grows to what the
    // texts need in the font and language in use, never shrinks.
    const auto grownFrom = [](const QRect &placed, const QRect &form) {
        return placed.x() >= form.x() && placed.y() >= form.y()
               && placed.width() >= form.width() && placed.height() >= form.height();
    };
    QVERIFY(grownFrom(QRect(QPoint(), p.dialog.size()), QRect(0, 0, 723, 459)));
    QCOMPARE(p.dialog.windowTitle(), QString("machineParameter"));
    auto *tabs = p.dialog.findChild<QTabWidget *>("tabWidget");
    QVERIFY(tabs);
    QCOMPARE(tabs->pos(), QPoint(20, 20));
    QVERIFY(grownFrom(tabs->geometry(), QRect(20, 20, 681, 391)));
    QCOMPARE(tabs->count(), 2);
    QCOMPARE(tabs->widget(0)->objectName(), QString("settingTab"));
    QCOMPARE(tabs->tabText(0), QString("Setting"));
    QCOMPARE(tabs->widget(1)->objectName(), QString("dataTab"));
    QCOMPARE(tabs->tabText(1), QString("Data"));
    QCOMPARE(tabs->currentIndex(), 0);
    auto *box = p.dialog.findChild<QDialogButtonBox *>("buttonBox");
    QVERIFY(box);
    // A single-line widget grows about its middle, so it may rise a little.
    QVERIFY2(box->x() >= 550 && box->width() >= 156 && box->height() >= 23
                 && box->geometry().center().y() >= QRect(550, 430, 156, 23).center().y(),
             qPrintable(QStringLiteral("%1,%2 %3x%4").arg(box->x()).arg(box->y()).arg(box->width()).arg(box->height())));
    QCOMPARE(box->orientation(), Qt::Horizontal);
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
}

void TestMachineParameterSetting::gridCellsMatchForm_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("cells");
    for (int row = 0; row < 8; ++row)
        QTest::addRow("setting row %d", row) << "gridLayout_2" << row << settingRow(row);
    for (int row = 0; row < 7; ++row)
        QTest::addRow("data row %d", row) << "gridLayout" << row << dataRow(row);
}

void TestMachineParameterSetting::gridCellsMatchForm()
{
    QFETCH(QString, grid);
    QFETCH(int, row);
    QFETCH(QStringList, cells);
    ParameterDialog p;
    auto *layout = p.dialog.findChild<QGridLayout *>(grid);
    QVERIFY(layout);
    QCOMPARE(layout->columnCount(), cells.size());
    for (int column = 0; column < cells.size(); ++column) {
        QLayoutItem *item = layout->itemAtPosition(row, column);
        QCOMPARE(describe(item ? item->widget() : nullptr), cells.at(column));
    }
}

void TestMachineParameterSetting::gridsFillTheirPagesInElevenPoint()
{
    ParameterDialog p;
    const QList<QPair<QString, QString>> pages {{"settingTab", "gridLayout_2"},
                                                {"dataTab", "gridLayout"}};
    for (const auto &page : pages) {
        auto *tab = p.dialog.findChild<QWidget *>(page.first);
        auto *grid = p.dialog.findChild<QGridLayout *>(page.second);
        QCOMPARE(tab->layout(), grid);
        QCOMPARE(grid->contentsMargins(), QMargins());
        for (QWidget *w : gridWidgets(grid)) {
            QCOMPARE(w->parentWidget(), tab);
            QCOMPARE(w->font().pointSize(), 11);
        }
    }
    auto *tabs = p.dialog.findChild<QTabWidget *>("tabWidget");
    tabs->setCurrentIndex(1);
    auto *dataTab = p.dialog.findChild<QWidget *>("dataTab");
    QTRY_COMPARE(p.dialog.findChild<QGridLayout *>("gridLayout")->geometry(), dataTab->rect());
}

void TestMachineParameterSetting::cellsStartEmptyAndExtrasDisabled()
{
    ParameterDialog p;
    for (QWidget *w : gridWidgets(p.dialog.findChild<QGridLayout *>("gridLayout_2"))) {
        if (auto *edit = qobject_cast<QLineEdit *>(w)) {
            QVERIFY2(edit->text().isEmpty(), qPrintable(edit->objectName()));
            QVERIFY(!edit->validator());
            QVERIFY(edit->inputMask().isEmpty());
        }
    }
    for (const char *name : {"pushButton", "pushButton_2", "pushButton_3"})
        QVERIFY(!p.dialog.findChild<QPushButton *>(name)->isEnabled());
    const QSizePolicy header = p.dialog.findChild<QGridLayout *>("gridLayout_2")
                                   ->itemAtPosition(1, 3)->widget()->sizePolicy();
    QCOMPARE(header.horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(header.verticalPolicy(), QSizePolicy::Fixed);

    // Data page: the 18 value cells open blank; point numbers and values are
    // centred, titles and the two counters keep the label default.
    int valueCells = 0;
    for (QWidget *w : gridWidgets(p.dialog.findChild<QGridLayout *>("gridLayout"))) {
        auto *label = qobject_cast<QLabel *>(w);
        if (!label)
            continue;
        const QString name = label->objectName();
        const bool counter = name == "dataGroupNumEdit" || name == "dataTestNumLabel";
        const bool value = !name.startsWith("label");
        const bool pointNumber = QStringList {"1", "2", "3", "4", "5"}.contains(label->text());
        if (value) {
            ++valueCells;
            QVERIFY2(label->text().isEmpty(), qPrintable(name));
        }
        const Qt::Alignment expected = (value && !counter) || pointNumber
                                           ? Qt::AlignCenter
                                           : Qt::AlignLeft | Qt::AlignVCenter;
        QCOMPARE(label->alignment(), expected);
    }
    QCOMPARE(valueCells, 18);
}

void TestMachineParameterSetting::textsAreLookedUpInFormContext()
{
    RecordingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    ParameterDialog p;
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 3));
    QCoreApplication::removeTranslator(&translator);

    for (const char *source : {"machineParameter", "Setting", "Data", "Test Number", "1st",
                               "Speed(mm/min)", "Pre Group", "I.Load", "Save"})
        QVERIFY2(translator.lookups.contains(QString("machineParameter|") + source), source);
    QCOMPARE(p.dialog.windowTitle(), QString("~machineParameter"));
    QCOMPARE(p.dialog.findChild<QPushButton *>("preBtn")->text(), QString("~Pre"));
    // Value texts are numbers, never translated.
    QCOMPARE(p.text("testNumEdit"), QString("3/5"));
}

void TestMachineParameterSetting::okAndCancelCloseWithoutRequest_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << int(QDialogButtonBox::Ok) << int(QDialog::Accepted);
    QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << int(QDialog::Rejected);
}

void TestMachineParameterSetting::okAndCancelCloseWithoutRequest()
{
    QFETCH(int, button);
    QFETCH(int, result);
    ParameterDialog p;
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 2));
    QTest::mouseClick(p.dialog.findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::StandardButton(button)),
                      Qt::LeftButton);
    QTRY_VERIFY(!p.dialog.isVisible());
    QCOMPARE(p.dialog.result(), result);
    QCOMPARE(p.setRequests.count() + p.dataRequests.count(), 0);
}

void TestMachineParameterSetting::answerFillsEveryField()
{
    ParameterDialog p;
    QVector<float> points(25);
    for (int k = 0; k < points.size(); ++k)
        points[k] = 100.0f + k; // each position recognisable on screen
    p.dialog.receiveSystemSetting(points, {5, 3, 10, 60, 5, 5, 5, 5, 5});

    QCOMPARE(p.text("testNumEdit"), QString("3/5"));
    QCOMPARE(p.text("repeatNumEdit"), QString("10"));
    QCOMPARE(p.text("speedEdit"), QString("60"));
    const QStringList ordinals {"1st", "2nd", "3rd", "4th", "5th"};
    for (int k = 0; k < 5; ++k) {
        const QString o = ordinals.at(k);
        QCOMPARE(p.text(qPrintable("force" + o + "Edit")), QString("%1.000").arg(100 + k));
        QCOMPARE(p.text(qPrintable("distance" + o + "Edit")), QString("%1.00").arg(105 + k));
        QCOMPARE(p.text(qPrintable("lower" + o + "Edit")), QString("%1.000").arg(110 + k));
        QCOMPARE(p.text(qPrintable("upper" + o + "Edit")), QString("%1.000").arg(115 + k));
        QCOMPARE(p.text(qPrintable("tol" + o + "Edit")), QString("5"));
    }
    QCOMPARE(p.text("effectWindingEdit"), QString("120.00"));
    QCOMPARE(p.text("springRateEdit"), QString("121.00"));
    QCOMPARE(p.text("freeLengthEdit"), QString("122.00"));
    QCOMPARE(p.text("meanDiameterEdit"), QString("123.00"));
    QCOMPARE(p.text("wireDiameterEdit"), QString("124.00"));
}

void TestMachineParameterSetting::numberTexts_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");
    QTest::newRow("force 0.5, 3 decimals") << 3 << 0.5f << "force1stEdit" << "0.500";
    // Halves round away from zero, as QString::arg does.
    QTest::newRow("force 0.5, no decimals has no point") << 0 << 0.5f << "force1stEdit" << "1";
    QTest::newRow("force 0.4, no decimals") << 0 << 0.4f << "force2ndEdit" << "0";
    QTest::newRow("negative lower limit") << 1 << -1.24f << "lower3rdEdit" << "-1.2";
    QTest::newRow("upper limit follows force decimals") << 4 << 12.5f << "upper5thEdit"
                                                        << "12.5000";
    QTest::newRow("distance keeps 2 decimals") << 0 << 12.0f << "distance2ndEdit" << "12.00";
    QTest::newRow("spring data keeps 2 decimals") << 4 << 3.14159f << "springRateEdit" << "3.14";
    QTest::newRow("no digit grouping") << 3 << 12345.5f << "force4thEdit" << "12345.500";
}

void TestMachineParameterSetting::numberTexts()
{
    QFETCH(int, decimals);
    QFETCH(float, value);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    ParameterDialog p;
    forceDecimals = decimals;
    p.dialog.receiveSystemSetting(uniformPointSet(value), storedTest(5, 1));
    QCOMPARE(p.text(qPrintable(field)), expected);
}

void TestMachineParameterSetting::pagingRequests_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("requested"); // 0: no request
    QTest::newRow("Pre at test 1") << 5 << 1 << "preBtn" << 0;
    QTest::newRow("Next from test 1") << 5 << 1 << "nextBtn" << 2;
    QTest::newRow("Next at the last test") << 5 << 5 << "nextBtn" << 0;
    QTest::newRow("Pre from test 3") << 5 << 3 << "preBtn" << 2;
    QTest::newRow("Next from test 3") << 5 << 3 << "nextBtn" << 4;
    QTest::newRow("Next within 16-bit counts") << 65535 << 65534 << "nextBtn" << 65535;
    QTest::newRow("Next with no tests stored") << 0 << 0 << "nextBtn" << 0;
    QTest::newRow("Pre at test 0") << 0 << 0 << "preBtn" << 0;
}

void TestMachineParameterSetting::pagingRequests()
{
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(QString, button);
    QFETCH(int, requested);
    ParameterDialog p;
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(count, current));
    p.click(qPrintable(button));
    if (requested == 0) {
        QCOMPARE(p.setRequests.count(), 0);
    } else {
        QCOMPARE(p.setRequests.count(), 1);
        QCOMPARE(p.setRequests.at(0), QList<QVariant> {requested});
    }
    QCOMPARE(p.dataRequests.count(), 0);
}

void TestMachineParameterSetting::countersMoveOnlyWithAnswer()
{
    ParameterDialog p;
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 1));
    p.click("nextBtn");
    p.click("nextBtn"); // unanswered: still asks for the same test
    QCOMPARE(p.setRequests.count(), 2);
    QCOMPARE(p.setRequests.at(1), QList<QVariant> {2});
    QCOMPARE(p.text("testNumEdit"), QString("1/5"));

    // The machine answers with the same test again: refilled, counters kept.
    p.dialog.receiveSystemSetting(uniformPointSet(7), storedTest(5, 1, 3));
    QCOMPARE(p.text("force1stEdit"), QString("7.000"));
    QCOMPARE(p.text("repeatNumEdit"), QString("3"));
    p.click("nextBtn");
    QCOMPARE(p.setRequests.last(), QList<QVariant> {2});

    // The page follows the number the machine reports, not the one asked for.
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 4));
    QCOMPARE(p.text("testNumEdit"), QString("4/5"));
    p.click("preBtn");
    QCOMPARE(p.setRequests.last(), QList<QVariant> {3});
}

void TestMachineParameterSetting::pagingIdleBeforeFirstAnswer()
{
    ParameterDialog p;
    p.click("preBtn");
    p.click("nextBtn");
    QCOMPARE(p.setRequests.count(), 0);
    QCOMPARE(p.text("testNumEdit"), QString());
}

void TestMachineParameterSetting::shortAnswerIsIgnored_data()
{
    QTest::addColumn<QVector<float>>("pointSet");
    QTest::addColumn<QVector<int>>("systemSet");
    QTest::newRow("both empty") << QVector<float>() << QVector<int>();
    QTest::newRow("8 ints") << uniformPointSet(9) << storedTest(7, 6).mid(0, 8);
    QTest::newRow("24 floats") << uniformPointSet(9).mid(0, 24) << storedTest(7, 6);
    QTest::newRow("2 ints") << uniformPointSet(9) << QVector<int> {7, 6};
}

void TestMachineParameterSetting::shortAnswerIsIgnored()
{
    QFETCH(QVector<float>, pointSet);
    QFETCH(QVector<int>, systemSet);
    ParameterDialog p;
    p.dialog.receiveSystemSetting(uniformPointSet(2), storedTest(5, 2));
    p.dialog.receiveSystemSetting(pointSet, systemSet);
    QCOMPARE(p.text("testNumEdit"), QString("2/5"));
    QCOMPARE(p.text("force1stEdit"), QString("2.000"));
    QCOMPARE(p.text("wireDiameterEdit"), QString("2.00"));
    p.click("nextBtn");
    QCOMPARE(p.setRequests.last(), QList<QVariant> {3});
}

void TestMachineParameterSetting::answerLeavesDataPageAndTab()
{
    ParameterDialog p;
    p.dialog.receiveSystemData(measured({1, 2, 3, 4, 5}, {1, 2, 3, 4, 5}), record(1, 1, 1, 1));
    p.dialog.findChild<QTabWidget *>("tabWidget")->setCurrentIndex(1);
    p.dialog.receiveSystemSetting(uniformPointSet(1), storedTest(5, 2));
    QCOMPARE(p.dialog.findChild<QTabWidget *>("tabWidget")->currentIndex(), 1);
    QCOMPARE(p.text("dataTestNumLabel"), QString("1/1"));
    QCOMPARE(p.text("dataForce5thLabel"), QString("5.000"));
    QCOMPARE(p.dataRequests.count(), 0);
}

QTEST_MAIN(TestMachineParameterSetting)
#include "tst_machineparameter_setting.moc"
