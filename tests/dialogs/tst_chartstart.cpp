#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "dialogs/chartstart.h"
#include "scopedtranslator.h"

Q_DECLARE_METATYPE(QValidator::State)

namespace {

// Opens the dialog the way the main window's Chart command does, pre-filled
// with the given record, and collects what it sends back.
class ChartFixture
{
public:
    explicit ChartFixture(const Curve_Setting &current = Curve_Setting())
        : dialog(new chartStart(&window))
    {
        QObject::connect(dialog, &chartStart::sendCurveSetting, &window,
                         [this](Curve_Setting s) { sent.append(s); });
        QMetaObject::invokeMethod(dialog, "receiveCurveSetting", Q_ARG(Curve_Setting, current));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setWindowFlags(Qt::Dialog);
        dialog->setWindowModality(Qt::WindowModal);
        window.show();
        dialog->show();
    }

    template<typename T>
    T *child(const char *name) const
    {
        return dialog->findChild<T *>(QString::fromLatin1(name));
    }
    QLineEdit *speedEdit() const { return child<QLineEdit>("speedEdit"); }
    QLineEdit *distanceEdit() const { return child<QLineEdit>("distanceEdit"); }
    QComboBox *modeBox() const { return child<QComboBox>("comboBox"); }
    QRadioButton *relative() const { return child<QRadioButton>("relativeRBtn"); }
    QRadioButton *absolute() const { return child<QRadioButton>("absouteRBtn"); }
    void click(const char *button) const
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    // Types into an emptied field, character by character, as an operator would.
    static void retype(QLineEdit *edit, const QString &text)
    {
        edit->clear();
        QTest::keyClicks(edit, text);
    }

    QWidget window;
    QPointer<chartStart> dialog;
    QList<Curve_Setting> sent;
};

Curve_Setting record(int mode, int distanceMode, int speed, float distance)
{
    Curve_Setting s;
    s.mode = mode;
    s.distanceMode = distanceMode;
    s.speed = speed;
    s.distance = distance;
    return s;
}

} // namespace

class tst_chartStart : public QObject
{
    Q_OBJECT

private slots:
    void fieldsKeepOutTextThatCannotBecomeValid_data();
    void fieldsKeepOutTextThatCannotBecomeValid();
    void fieldsIgnoreTheSystemLocale();
    void prefillShowsTheRecord_data();
    void prefillShowsTheRecord();
    void okSendsTheFieldsAsTyped_data();
    void okSendsTheFieldsAsTyped();
    void okRecordPrefillsTheNextDialogAlike();
    void cancelSendsNothingAndCloses();
    void enterAndEscapeDoNothing();
    void chineseModeItemsStillMapToPushAndPull();
};

void tst_chartStart::fieldsKeepOutTextThatCannotBecomeValid_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QValidator::State>("verdict");

    const QString speed = QStringLiteral("speedEdit");
    QTest::newRow("speed 0 is intermediate") << speed << "0" << "0" << QValidator::Intermediate;
    QTest::newRow("speed 1") << speed << "1" << "1" << QValidator::Acceptable;
    QTest::newRow("speed 500") << speed << "500" << "500" << QValidator::Acceptable;
    // Three digits may still be on the way to a valid speed; OK does not ask.
    QTest::newRow("speed 501 is intermediate") << speed << "501" << "501" << QValidator::Intermediate;
    QTest::newRow("speed fourth digit") << speed << "5000" << "500" << QValidator::Invalid;
    QTest::newRow("speed minus sign") << speed << "-5" << "5" << QValidator::Invalid;
    QTest::newRow("speed decimal point") << speed << "2.5" << "25" << QValidator::Invalid;
    QTest::newRow("speed group separator") << speed << "1,00" << "100" << QValidator::Invalid;

    const QString distance = QStringLiteral("distanceEdit");
    QTest::newRow("distance 0") << distance << "0" << "0" << QValidator::Acceptable;
    QTest::newRow("distance 199.99") << distance << "199.99" << "199.99" << QValidator::Acceptable;
    QTest::newRow("distance 200") << distance << "200" << "200" << QValidator::Acceptable;
    QTest::newRow("distance 12.5") << distance << "12.5" << "12.5" << QValidator::Acceptable;
    QTest::newRow("distance trailing point") << distance << "12." << "12." << QValidator::Intermediate;
    QTest::newRow("distance 201") << distance << "201" << "20" << QValidator::Invalid;
    QTest::newRow("distance 250") << distance << "250" << "25" << QValidator::Invalid;
    QTest::newRow("distance 200.5") << distance << "200.5" << "200" << QValidator::Invalid;
    QTest::newRow("distance 099") << distance << "099" << "09" << QValidator::Invalid;
    QTest::newRow("distance three fraction digits") << distance << "1.234" << "1.23" << QValidator::Invalid;
    QTest::newRow("distance minus sign") << distance << "-1" << "1" << QValidator::Invalid;
    QTest::newRow("distance decimal comma") << distance << "1,5" << "15" << QValidator::Invalid;
}

void tst_chartStart::fieldsKeepOutTextThatCannotBecomeValid()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(QValidator::State, verdict);

    ChartFixture chart;
    QLineEdit *edit = chart.child<QLineEdit>(field.toLatin1().constData());
    QString whole = typed;
    int position = 0;
    QCOMPARE(edit->validator()->validate(whole, position), verdict);

    ChartFixture::retype(edit, typed);
    QCOMPARE(edit->text(), kept);
}

void tst_chartStart::fieldsIgnoreTheSystemLocale()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ChartFixture chart(record(0, 0, 250, 12.5f));
    QCOMPARE(chart.distanceEdit()->text(), QStringLiteral("12.50"));

    // "1.00" is a grouped hundred in German; it must not slip through as 0.
    ChartFixture::retype(chart.speedEdit(), QStringLiteral("1.00"));
    QCOMPARE(chart.speedEdit()->text(), QStringLiteral("100"));
    ChartFixture::retype(chart.distanceEdit(), QStringLiteral("1,25"));
    QCOMPARE(chart.distanceEdit()->text(), QStringLiteral("125"));
    ChartFixture::retype(chart.distanceEdit(), QStringLiteral("7.25"));
    chart.click("okBtn");
    QLocale::setDefault(previous);

    QCOMPARE(chart.sent.size(), 1);
    QCOMPARE(chart.sent.first().speed, 100);
    QCOMPARE(chart.sent.first().distance, 7.25f);
}

void tst_chartStart::prefillShowsTheRecord_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("distanceMode");
    QTest::addColumn<int>("speed");
    QTest::addColumn<float>("distance");
    QTest::addColumn<QString>("modeText");
    QTest::addColumn<bool>("absolute");
    QTest::addColumn<QString>("distanceText");
    QTest::addColumn<QString>("speedText");

    const Curve_Setting initial;
    QTest::newRow("first opening: PUSH relative 10 mm 100 mm/min")
        << initial.mode << initial.distanceMode << initial.speed << initial.distance
        << "PUSH" << false << "10.00" << "100";
    QTest::newRow("PULL absolute") << 1 << 1 << 500 << 199.99f << "PULL" << true << "199.99" << "500";
    QTest::newRow("unknown mode leaves PUSH") << 7 << 0 << 1 << 0.0f << "PUSH" << false << "0.00" << "1";
    QTest::newRow("any non-zero distance mode is absolute")
        << 0 << 2 << 20 << 200.0f << "PUSH" << true << "200.00" << "20";
}

void tst_chartStart::prefillShowsTheRecord()
{
    QFETCH(int, mode);
    QFETCH(int, distanceMode);
    QFETCH(int, speed);
    QFETCH(float, distance);
    QFETCH(QString, modeText);
    QFETCH(bool, absolute);
    QFETCH(QString, distanceText);
    QFETCH(QString, speedText);

    ChartFixture chart(record(mode, distanceMode, speed, distance));

    QCOMPARE(chart.modeBox()->currentText(), modeText);
    QCOMPARE(chart.absolute()->isChecked(), absolute);
    QCOMPARE(chart.relative()->isChecked(), !absolute);
    QCOMPARE(chart.distanceEdit()->text(), distanceText);
    QCOMPARE(chart.speedEdit()->text(), speedText);
}

void tst_chartStart::okSendsTheFieldsAsTyped_data()
{
    QTest::addColumn<int>("modeIndex");
    QTest::addColumn<bool>("absolute");
    QTest::addColumn<QString>("speedText");
    QTest::addColumn<QString>("distanceText");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("distanceMode");
    QTest::addColumn<int>("speed");
    QTest::addColumn<float>("distance");

    QTest::newRow("PULL absolute 250 mm/min 150.25 mm")
        << 1 << true << "250" << "150.25" << 1 << 1 << 250 << 150.25f;
    QTest::newRow("PUSH relative 1 mm/min 200 mm") << 0 << false << "1" << "200" << 0 << 0 << 1 << 200.0f;
    QTest::newRow("both fields empty") << 0 << false << "" << "" << 0 << 0 << 0 << 0.0f;
    QTest::newRow("intermediate speed 0") << 1 << false << "0" << "5." << 1 << 0 << 0 << 5.0f;
}

void tst_chartStart::okSendsTheFieldsAsTyped()
{
    QFETCH(int, modeIndex);
    QFETCH(bool, absolute);
    QFETCH(QString, speedText);
    QFETCH(QString, distanceText);
    QFETCH(int, mode);
    QFETCH(int, distanceMode);
    QFETCH(int, speed);
    QFETCH(float, distance);

    ChartFixture chart;
    chart.modeBox()->setCurrentIndex(modeIndex);
    QTest::mouseClick(absolute ? chart.absolute() : chart.relative(), Qt::LeftButton);
    ChartFixture::retype(chart.speedEdit(), speedText);
    ChartFixture::retype(chart.distanceEdit(), distanceText);
    chart.click("okBtn");

    QCOMPARE(chart.sent.size(), 1);
    const Curve_Setting s = chart.sent.first();
    QCOMPARE(s.mode, mode);
    QCOMPARE(s.distanceMode, distanceMode);
    QCOMPARE(s.speed, speed);
    QCOMPARE(s.distance, distance);
    QTRY_VERIFY(chart.dialog.isNull());
}

void tst_chartStart::okRecordPrefillsTheNextDialogAlike()
{
    ChartFixture first;
    first.modeBox()->setCurrentIndex(1);
    QTest::mouseClick(first.absolute(), Qt::LeftButton);
    ChartFixture::retype(first.distanceEdit(), QStringLiteral("33.3"));
    first.click("okBtn");
    QCOMPARE(first.sent.size(), 1);

    ChartFixture next(first.sent.first());
    QCOMPARE(next.modeBox()->currentText(), QStringLiteral("PULL"));
    QVERIFY(next.absolute()->isChecked());
    QCOMPARE(next.distanceEdit()->text(), QStringLiteral("33.30"));
    QCOMPARE(next.speedEdit()->text(), QStringLiteral("100"));
}

void tst_chartStart::cancelSendsNothingAndCloses()
{
    ChartFixture chart(record(1, 1, 42, 4.2f));
    ChartFixture::retype(chart.speedEdit(), QStringLiteral("300"));
    chart.click("cancelBtn");

    QTRY_VERIFY(chart.dialog.isNull());
    QVERIFY(chart.sent.isEmpty());
}

void tst_chartStart::enterAndEscapeDoNothing()
{
    ChartFixture chart;
    QVERIFY(QTest::qWaitForWindowExposed(chart.dialog));
    chart.speedEdit()->setFocus();

    QTest::keyClick(chart.speedEdit(), Qt::Key_Return);
    QTest::keyClick(chart.distanceEdit(), Qt::Key_Enter);
    QTest::keyClick(chart.dialog, Qt::Key_Escape);
    QCoreApplication::processEvents();

    QVERIFY(!chart.dialog.isNull());
    QVERIFY(chart.dialog->isVisible());
    QVERIFY(chart.sent.isEmpty());
}

void tst_chartStart::chineseModeItemsStillMapToPushAndPull()
{
    QTranslator chinese;
    QVERIFY(chinese.load(QString::fromLatin1(chineseCatalogue())));
    ScopedTranslator installed(&chinese);

    for (const int mode : {0, 1}) {
        ChartFixture chart(record(mode, 0, 100, 10.0f));
        QCOMPARE(chart.modeBox()->itemText(0), QStringLiteral("压缩"));
        QCOMPARE(chart.modeBox()->itemText(1), QStringLiteral("拉伸"));
        chart.click("okBtn");
        QCOMPARE(chart.sent.size(), 1);
        QCOMPARE(chart.sent.first().mode, mode);
    }
}

QTEST_MAIN(tst_chartStart)
#include "tst_chartstart.moc"
