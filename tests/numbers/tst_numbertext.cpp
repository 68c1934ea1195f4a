// Number texts shown and read by every part of the program, whatever the
// system locale.
#include "numbers/numbertext.h"

#include <QtTest>

class tst_NumberText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void fixedText_data();
    void fixedText();
    void readingText_data();
    void readingText();
    void singlePrecisionRange();
};

void tst_NumberText::fixedText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("2 decimals") << 12.0 << 2 << "12.00";
    QTest::newRow("no grouping") << 1234567.5 << 1 << "1234567.5";
    QTest::newRow("0 decimals, no point") << 12.4 << 0 << "12";
    QTest::newRow("negative") << -0.004 << 3 << "-0.004";
    QTest::newRow("tiny negative has no sign") << -0.0004 << 3 << "0.000";
    QTest::newRow("negative zero") << -0.0 << 2 << "0.00";
    QTest::newRow("negative decimals as 0") << 3.7 << -1 << "4";
}

void tst_NumberText::fixedText()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(NumberText::fixed(value, decimals), text);
}

void tst_NumberText::readingText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("ok");
    QTest::newRow("point") << "1.5" << 1.5 << true;
    QTest::newRow("white space") << "  7.125 \t" << 7.125 << true;
    QTest::newRow("decimal comma is no number") << "1,5" << 0.0 << false;
    QTest::newRow("grouping is no number") << "1,000" << 0.0 << false;
    QTest::newRow("letters") << "abc" << 0.0 << false;
    QTest::newRow("empty") << "" << 0.0 << false;
    QTest::newRow("inf") << "inf" << 0.0 << false;
    QTest::newRow("nan") << "nan" << 0.0 << false;
    QTest::newRow("exponent") << "1e3" << 1000.0 << true;
    QTest::newRow("no-break spaces from a spreadsheet") << "\u00a0-2.5\u00a0" << -2.5 << true;
}

void tst_NumberText::readingText()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QFETCH(bool, ok);
    bool parsed = !ok;
    QCOMPARE(NumberText::toDouble(text, &parsed), value);
    QCOMPARE(parsed, ok);
    QCOMPARE(double(NumberText::toFloat(text, &parsed)), value);
    QCOMPARE(parsed, ok);
    // A curve file's fields are read from its bytes by the same rule.
    const QByteArray bytes = text.toUtf8();
    parsed = !ok;
    QCOMPARE(double(NumberText::toFloat(bytes.constData(), bytes.constData() + bytes.size(), &parsed)), value);
    QCOMPARE(parsed, ok);
}

void tst_NumberText::singlePrecisionRange()
{
    bool parsed = true;
    const QByteArray beyond("3.5e38");
    QCOMPARE(NumberText::toFloat(beyond.constData(), beyond.constData() + beyond.size(), &parsed), 0.0f);
    QVERIFY(!parsed);
    QCOMPARE(NumberText::toFloat(QString::fromLatin1(beyond), &parsed), 0.0f);
    QVERIFY(!parsed);
    QCOMPARE(NumberText::toDouble(QString::fromLatin1(beyond), &parsed), 3.5e38);
    QVERIFY(parsed);
}

QTEST_APPLESS_MAIN(tst_NumberText)
#include "tst_numbertext.moc"
