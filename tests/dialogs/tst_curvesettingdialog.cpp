#include <QCheckBox>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include "numbers/numbertext.h"
#include "dialogs/curvesettingdialog.h"

namespace {

AxisSetting axes(double xMin, double xMax, double yMin, double yMax,
                 bool xReversed = false, bool yReversed = false)
{
    AxisSetting s;
    s.xMin = xMin;
    s.xMax = xMax;
    s.yMin = yMin;
    s.yMax = yMax;
    s.xReversed = xReversed;
    s.yReversed = yReversed;
    return s;
}

// Opens the dialog as the main window's Axis Set button does and collects
// what it sends.
class AxisFixture
{
public:
    explicit AxisFixture(const AxisSetting &current)
        : dialog(new curveSettingDialog(&window, current))
    {
        QObject::connect(dialog, &curveSettingDialog::sendAxisSet, &window,
                         [this](AxisSetting s) { sent.append(s); });
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        window.show();
        dialog->show();
    }

    QLineEdit *edit(const char *name) const { return dialog->findChild<QLineEdit *>(QString::fromLatin1(name)); }
    QCheckBox *box(const char *name) const { return dialog->findChild<QCheckBox *>(QString::fromLatin1(name)); }
    void click(const char *button) const
    {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
    }

    QWidget window;
    QPointer<curveSettingDialog> dialog;
    QList<AxisSetting> sent;
};

} // namespace

class tst_curveSettingDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void fillShowsXWithTwoAndYWithForceDecimals_data();
    void fillShowsXWithTwoAndYWithForceDecimals();
    void okReadsTheFieldsAsNumbers_data();
    void okReadsTheFieldsAsNumbers();
    void okWithoutEditingResendsTheRoundedValues();
    void reversalComesOnlyFromTheCheckBoxes();
    void cancelAndEscapeSendNothing();
};

void tst_curveSettingDialog::initTestCase()
{
    // A decimal comma in the system locale must not leak into the fields.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void tst_curveSettingDialog::cleanup()
{
    forceDecimals = 3;
}

void tst_curveSettingDialog::fillShowsXWithTwoAndYWithForceDecimals_data()
{
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("xMin");
    QTest::addColumn<double>("xMax");
    QTest::addColumn<double>("yMin");
    QTest::addColumn<double>("yMax");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("initial plot, 3 decimals") << 3 << 0.0 << 100.0 << -500.0 << 500.0
        << QStringList{"0.00", "100.00", "-500.000", "500.000"};
    QTest::newRow("1 decimal") << 1 << 0.123 << 4.567 << -12.34 << 1234.56
        << QStringList{"0.12", "4.57", "-12.3", "1234.6"};
    QTest::newRow("0 decimals") << 0 << -5.5 << 1000000.0 << 0.4 << 99.6
        << QStringList{"-5.50", "1000000.00", "0", "100"};
    QTest::newRow("4 decimals") << 4 << 0.005 << 0.0 << 0.00005 << 1.0
        << QStringList{"0.01", "0.00", "0.0001", "1.0000"};
}

void tst_curveSettingDialog::fillShowsXWithTwoAndYWithForceDecimals()
{
    QFETCH(int, decimals);
    QFETCH(double, xMin);
    QFETCH(double, xMax);
    QFETCH(double, yMin);
    QFETCH(double, yMax);
    QFETCH(QStringList, texts);

    forceDecimals = decimals;
    AxisFixture axis(axes(xMin, xMax, yMin, yMax));

    QCOMPARE(axis.edit("xAxisMinEdit")->text(), texts.at(0));
    QCOMPARE(axis.edit("xAxisMaxEdit")->text(), texts.at(1));
    QCOMPARE(axis.edit("yAxisMinEdit")->text(), texts.at(2));
    QCOMPARE(axis.edit("yAxisMaxEdit")->text(), texts.at(3));
    QVERIFY(!axis.box("checkBox")->isChecked());
}

void tst_curveSettingDialog::okReadsTheFieldsAsNumbers_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<double>>("bounds");

    QTest::newRow("minimum above maximum is sent as typed")
        << QStringList{"50", "10", "-20", "20"} << QList<double>{50, 10, -20, 20};
    QTest::newRow("empty fields give 0") << QStringList{"", "", "", ""} << QList<double>{0, 0, 0, 0};
    QTest::newRow("non-numbers give 0")
        << QStringList{"abc", "12abc", "1,5", "--3"} << QList<double>{0, 0, 0, 0};
    QTest::newRow("white space and exponent")
        << QStringList{" 7.5 ", "1e2", "-0.001", "+3"} << QList<double>{7.5, 100, -0.001, 3};
}

void tst_curveSettingDialog::okReadsTheFieldsAsNumbers()
{
    QFETCH(QStringList, texts);
    QFETCH(QList<double>, bounds);

    AxisFixture axis(axes(0, 100, -500, 500));
    const char *fields[] = {"xAxisMinEdit", "xAxisMaxEdit", "yAxisMinEdit", "yAxisMaxEdit"};
    for (int i = 0; i < 4; ++i) {
        axis.edit(fields[i])->clear();
        QTest::keyClicks(axis.edit(fields[i]), texts.at(i));
    }
    axis.click("okBtn");

    QCOMPARE(axis.sent.size(), 1);
    const AxisSetting s = axis.sent.first();
    QCOMPARE(s.xMin, bounds.at(0));
    QCOMPARE(s.xMax, bounds.at(1));
    QCOMPARE(s.yMin, bounds.at(2));
    QCOMPARE(s.yMax, bounds.at(3));
    QTRY_VERIFY(axis.dialog.isNull());
}

void tst_curveSettingDialog::okWithoutEditingResendsTheRoundedValues()
{
    forceDecimals = 1;
    AxisFixture axis(axes(0.123, 4.567, -9.87, 9.87, true, false));
    axis.click("okBtn");

    QCOMPARE(axis.sent.size(), 1);
    const AxisSetting s = axis.sent.first();
    QCOMPARE(s.xMin, 0.12);
    QCOMPARE(s.xMax, 4.57);
    QCOMPARE(s.yMin, -9.9);
    QCOMPARE(s.yMax, 9.9);
    QVERIFY(s.xReversed);
    QVERIFY(!s.yReversed);
}

void tst_curveSettingDialog::reversalComesOnlyFromTheCheckBoxes()
{
    AxisFixture axis(axes(0, 100, -50, 50, true, false));
    QVERIFY(axis.box("xAxisReversed")->isChecked());
    QVERIFY(!axis.box("yAxisReversed")->isChecked());

    QTest::mouseClick(axis.box("xAxisReversed"), Qt::LeftButton);
    QTest::mouseClick(axis.box("yAxisReversed"), Qt::LeftButton);
    axis.edit("xAxisMinEdit")->setText(QStringLiteral("50"));
    axis.edit("xAxisMaxEdit")->setText(QStringLiteral("10"));
    axis.click("okBtn");

    QCOMPARE(axis.sent.size(), 1);
    QVERIFY(!axis.sent.first().xReversed);
    QVERIFY(axis.sent.first().yReversed);

    AxisFixture next(axis.sent.first());
    QVERIFY(!next.box("xAxisReversed")->isChecked());
    QVERIFY(next.box("yAxisReversed")->isChecked());
}

void tst_curveSettingDialog::cancelAndEscapeSendNothing()
{
    AxisFixture cancelled(axes(0, 100, -50, 50));
    cancelled.edit("xAxisMaxEdit")->setText(QStringLiteral("70"));
    cancelled.click("cancelBtn");
    QTRY_VERIFY(cancelled.dialog.isNull());
    QVERIFY(cancelled.sent.isEmpty());

    AxisFixture escaped(axes(0, 100, -50, 50));
    QVERIFY(QTest::qWaitForWindowExposed(escaped.dialog));
    QTest::keyClick(escaped.dialog, Qt::Key_Escape);
    QTRY_VERIFY(escaped.dialog.isNull());
    QVERIFY(escaped.sent.isEmpty());
}

QTEST_MAIN(tst_curveSettingDialog)
#include "tst_curvesettingdialog.moc"
