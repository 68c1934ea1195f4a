#include "curves/curvefile.h"
#include "support/curvesof.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

using Points = QVector<QPointF>;

// What a file written on this platform holds for a text with "\n" ends.
QByteArray textFile(QByteArray text)
{
#ifdef Q_OS_WIN
    text.replace("\n", "\r\n");
#endif
    return text;
}

// The points as the tester measures them, in single precision, as text so
// that a failed comparison shows them.
QStringList asMeasured(const Points &exact)
{
    QStringList narrowed;
    for (const QPointF &p : exact)
        narrowed.append(QStringLiteral("(%1, %2)").arg(double(float(p.x())), 0, 'g', 17)
                            .arg(double(float(p.y())), 0, 'g', 17));
    return narrowed;
}

QByteArray written(const Points &forward, const Points &back, int decimals)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!CurveFile::write(&buffer, curvesOf(forward, back), decimals))
        return QByteArray("write failed");
    return buffer.data();
}

QStringList points(const TestCurves &curves, TestCurves::Stroke stroke)
{
    QStringList result;
    for (const TestCurves::Point &d : curves.points(stroke))
        result.append(QStringLiteral("(%1, %2)").arg(d.distance, 0, 'g', 17).arg(d.force, 0, 'g', 17));
    return result;
}

TestCurves readText(QByteArray text, QIODevice::OpenMode extraMode = {})
{
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly | extraMode);
    return CurveFile::read(&buffer);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), qint64(content.size()));
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestCurveFile : public QObject
{
    Q_OBJECT

private slots:
    void writeGivesTheExampleFileInAscendingDistance();
    void writeEmptyCurvesKeepsBothMarkers_data();
    void writeEmptyCurvesKeepsBothMarkers();
    void writeFormatsNumbers_data();
    void writeFormatsNumbers();
    void writeKeepsTheOrderOfEqualDistances();

    void readSortsLinesIntoCurves_data();
    void readSortsLinesIntoCurves();
    void readTreatsLineEndsAlike_data();
    void readTreatsLineEndsAlike();
    void readSplitsLinesAcrossBlocks();
    void readPassesValuesThroughSinglePrecision();
    void readSurvivesMegabyteLines();
    void readReportsAnUnreadableDevice();

    void saveAndLoadRoundTrip();
    void saveReplacesAnExistingFile();
    void saveRefusesUnwritablePaths_data();
    void saveRefusesUnwritablePaths();
    void saveThatRunsOutOfSpaceKeepsTheOldFile();
    void suffixIsAddedOnlyToNamesWithoutOne_data();
    void suffixIsAddedOnlyToNamesWithoutOne();
    void loadRefusesWhatIsNoRegularFile_data();
    void loadRefusesWhatIsNoRegularFile();
};

void TestCurveFile::writeGivesTheExampleFileInAscendingDistance()
{
    const QByteArray expected = "Data Forward:\n"
                                "0.00,0.000\n"
                                "0.50,1.236\n"
                                "12.75,-0.004\n"
                                "Data Return:\n"
                                "0.50,1.102\n"
                                "12.75,2.468\n";
    QCOMPARE(written({{12.75, -0.004}, {0.0, 0.0}, {0.5, 1.2361}},
                     {{12.75, 2.468}, {0.5, 1.102}}, 3),
             expected);
}

void TestCurveFile::writeEmptyCurvesKeepsBothMarkers_data()
{
    QTest::addColumn<Points>("forward");
    QTest::addColumn<Points>("back");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("return empty") << Points{{1, 2}} << Points{}
                                  << QByteArray("Data Forward:\n1.00,2.000\nData Return:\n");
    QTest::newRow("forward empty") << Points{} << Points{{1, 2}}
                                   << QByteArray("Data Forward:\nData Return:\n1.00,2.000\n");
    QTest::newRow("both empty") << Points{} << Points{}
                                << QByteArray("Data Forward:\nData Return:\n");
}

void TestCurveFile::writeEmptyCurvesKeepsBothMarkers()
{
    QFETCH(Points, forward);
    QFETCH(Points, back);
    QFETCH(QByteArray, expected);
    QCOMPARE(written(forward, back, 3), expected);
}

void TestCurveFile::writeFormatsNumbers_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("force without decimals") << QPointF(0.5, 12.3) << 0 << QByteArray("0.50,12");
    QTest::newRow("force with 1 decimal") << QPointF(0.5, 12.34) << 1 << QByteArray("0.50,12.3");
    QTest::newRow("force with 4 decimals") << QPointF(0.5, 12.34) << 4 << QByteArray("0.50,12.3400");
    QTest::newRow("distance rounds") << QPointF(1.006, 1) << 0 << QByteArray("1.01,1");
    QTest::newRow("negatives keep their sign") << QPointF(-3.5, -250.25) << 2
                                               << QByteArray("-3.50,-250.25");
    QTest::newRow("tiny negatives read as zero") << QPointF(-0.001, -0.0004) << 3
                                                 << QByteArray("0.00,0.000");
    QTest::newRow("negative zero") << QPointF(-0.0, -0.0) << 3 << QByteArray("0.00,0.000");
    QTest::newRow("no exponent, no grouping") << QPointF(123456.0, 1e7) << 1
                                              << QByteArray("123456.00,10000000.0");
}

void TestCurveFile::writeFormatsNumbers()
{
    QFETCH(QPointF, point);
    QFETCH(int, decimals);
    QFETCH(QByteArray, line);
    QCOMPARE(written({point}, {}, decimals), "Data Forward:\n" + line + "\nData Return:\n");
}

void TestCurveFile::writeKeepsTheOrderOfEqualDistances()
{
    QCOMPARE(written({{2, 5}, {1, 9}, {2, 3}, {1, 8}}, {}, 0),
             QByteArray("Data Forward:\n1.00,9\n1.00,8\n2.00,5\n2.00,3\nData Return:\n"));
}

void TestCurveFile::readSortsLinesIntoCurves_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Points>("forward");
    QTest::addColumn<Points>("back");

    QTest::newRow("example file")
        << QByteArray("Data Forward:\n0.00,0.000\n0.50,1.236\n12.75,-0.004\n"
                      "Data Return:\n0.50,1.102\n12.75,2.468\n")
        << Points{{0, 0}, {0.5, 1.236}, {12.75, -0.004}} << Points{{0.5, 1.102}, {12.75, 2.468}};
    QTest::newRow("points before any marker go forward")
        << QByteArray("1,2\nData Return:\n3,4\n") << Points{{1, 2}} << Points{{3, 4}};
    QTest::newRow("repeated markers append in file order")
        << QByteArray("Data Forward:\n5,1\nData Return:\n6,2\nData Forward:\n1,3\n"
                      "Data Return:\n2,4\n")
        << Points{{5, 1}, {1, 3}} << Points{{6, 2}, {2, 4}};
    QTest::newRow("marker inside other text")
        << QByteArray("1,1\n-- Data Return: second stroke --\n2,2\n") << Points{{1, 1}}
        << Points{{2, 2}};
    QTest::newRow("forward marker wins on a line with both")
        << QByteArray("Data Return:\nData Return: Data Forward:\n1,1\n") << Points{{1, 1}} << Points{};
    QTest::newRow("lower-case marker is a line without numbers")
        << QByteArray("data return:\n1,1\n") << Points{{1, 1}} << Points{};
    QTest::newRow("blank and header lines are skipped")
        << QByteArray("\n   \ndistance,force\nData Forward:\n\t\n1,2\n,\n") << Points{{1, 2}}
        << Points{};
    QTest::newRow("blanks around numbers and comma")
        << QByteArray("3.25 , 7.125\n\t-1\t,\t2 \n") << Points{{3.25, 7.125}, {-1, 2}} << Points{};
    QTest::newRow("no comma: the number is both fields") << QByteArray("4\n") << Points{{4, 4}} << Points{};
    QTest::newRow("first and last field of three") << QByteArray("1.5,2.5,3.5\n")
                                                   << Points{{1.5, 3.5}} << Points{};
    QTest::newRow("one field not a number gives 0")
        << QByteArray("abc,5\n5,abc\n,6\n7,\n") << Points{{0, 5}, {5, 0}, {0, 6}, {7, 0}} << Points{};
    QTest::newRow("no final line end") << QByteArray("Data Return:\n1,2") << Points{} << Points{{1, 2}};
    QTest::newRow("byte order mark before a marker")
        << QByteArray("\xEF\xBB\xBF" "Data Return:\n1,2\n") << Points{} << Points{{1, 2}};
    QTest::newRow("byte order mark before a number")
        << QByteArray("\xEF\xBB\xBF" "1.5,2.5\n") << Points{{1.5, 2.5}} << Points{};
    QTest::newRow("non-finite texts are not numbers")
        << QByteArray("inf,5\n6,nan\nnan,inf\n-inf,-INF\nNaN,1e400\n") << Points{{0, 5}, {6, 0}}
        << Points{};
    QTest::newRow("outside single precision is not a number")
        << QByteArray("1e39,2\n-4e38,3\n1e39,-1e39\n") << Points{{0, 2}, {0, 3}} << Points{};
    // Held as the nearest float: the digits beyond single precision go.
    QTest::newRow("more digits than a float holds")
        << QByteArray("1.23456789012345,98765.4321098765\n") << Points{{1.23456789012345, 98765.4321098765}}
        << Points{};
    QTest::newRow("decimal commas read by the comma rule")
        << QByteArray("1,5;2,5\n0,25\n") << Points{{1, 5}, {0, 25}} << Points{};
    QTest::newRow("semicolon separator is no number")
        << QByteArray("1.5;2.5\n") << Points{} << Points{};
    QTest::newRow("no-break spaces from a spreadsheet")
        << QByteArray("\xC2\xA0" "1.5\xC2\xA0,\xC2\xA0" "2\n") << Points{{1.5, 2}} << Points{};
    QTest::newRow("exponents and signs") << QByteArray("+1e1,-2.5E-1\n.5,5.\n")
                                         << Points{{10, -0.25}, {0.5, 5}} << Points{};
    QTest::newRow("empty file") << QByteArray() << Points{} << Points{};
    QTest::newRow("binary junk")
        << QByteArray("\x00\x01\xFF\xFE,\x80\n\x00", 9) << Points{} << Points{};
}

void TestCurveFile::readSortsLinesIntoCurves()
{
    QFETCH(QByteArray, text);
    QFETCH(Points, forward);
    QFETCH(Points, back);
    const TestCurves curves = readText(text);
    QCOMPARE(points(curves, TestCurves::Forward), asMeasured(forward));
    QCOMPARE(points(curves, TestCurves::Return), asMeasured(back));
}

void TestCurveFile::readTreatsLineEndsAlike_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<bool>("textMode");
    QTest::newRow("LF") << QByteArray("\n") << false;
    QTest::newRow("CR LF") << QByteArray("\r\n") << false;
    QTest::newRow("CR") << QByteArray("\r") << false;
    QTest::newRow("CR on a device in text mode") << QByteArray("\r") << true;
    QTest::newRow("CR LF on a device in text mode") << QByteArray("\r\n") << true;
}

void TestCurveFile::readTreatsLineEndsAlike()
{
    QFETCH(QByteArray, lineEnd);
    QFETCH(bool, textMode);
    QByteArray text = "Data Forward:\n0.00,0.000\n0.50,1.236\nData Return:\n0.50,1.102\n12.75,2.468\n";
    text.replace("\n", lineEnd);

    QByteArray storage = text;
    QBuffer buffer(&storage);
    buffer.open(QIODevice::ReadOnly | (textMode ? QIODevice::Text : QIODevice::NotOpen));
    bool ok = false;
    const TestCurves curves = CurveFile::read(&buffer, &ok);
    QVERIFY(ok);
    QCOMPARE(points(curves, TestCurves::Forward), asMeasured({{0, 0}, {0.5, 1.236}}));
    QCOMPARE(points(curves, TestCurves::Return), asMeasured({{0.5, 1.102}, {12.75, 2.468}}));
    QCOMPARE(buffer.isTextModeEnabled(), textMode);
}

// Lines of every length land on the reader's block boundaries, CR LF pairs
// split between two blocks among them.
void TestCurveFile::readSplitsLinesAcrossBlocks()
{
    QByteArray text;
    Points expected;
    for (int i = 0; i < 40000; ++i) {
        const QByteArray padding(i % 13, ' ');
        text += padding + QByteArray::number(i) + "," + QByteArray::number(i % 97) + "\r\n";
        expected.append(QPointF(i, i % 97));
        if (i == 20000)
            text += QByteArray(70000, 'x') + " Data Return:\r\n";
    }
    const TestCurves curves = readText(text);
    QCOMPARE(points(curves, TestCurves::Forward), asMeasured(expected.mid(0, 20001)));
    QCOMPARE(points(curves, TestCurves::Return), asMeasured(expected.mid(20001)));
}

void TestCurveFile::readPassesValuesThroughSinglePrecision()
{
    const TestCurves curves = readText("Data Forward:\n0.1,1234.5678\n");
    const QVector<TestCurves::Point> &forward = curves.points(TestCurves::Forward);
    QCOMPARE(forward.size(), 1);
    QCOMPARE(forward.at(0).distance, double(0.1f));
    QCOMPARE(forward.at(0).force, double(1234.5678f));
    QVERIFY(forward.at(0).force != 1234.5678);

    QBuffer again;
    again.open(QIODevice::WriteOnly);
    QVERIFY(CurveFile::write(&again, curves, 3));
    QCOMPARE(again.data(), QByteArray("Data Forward:\n0.10,1234.568\nData Return:\n"));
}

void TestCurveFile::readSurvivesMegabyteLines()
{
    const int megabyte = 1 << 20;
    QByteArray text = "Data Forward:\n";
    text += QByteArray(megabyte, '7') + "\n";                              // out of range
    text += "1" + QByteArray(megabyte, ',') + "2\n";                        // first and last field
    text += "0." + QByteArray(megabyte, '0') + "1,3\n";                     // absurdly long number
    text += QByteArray(megabyte / 2, 'a') + "Data Return:" + QByteArray(megabyte / 2, 'b') + "\n";
    text += QByteArray(megabyte, ' ') + "4," + QByteArray(megabyte, ' ') + "5\n";
    const TestCurves curves = readText(text);
    const QVector<TestCurves::Point> &forward = curves.points(TestCurves::Forward);
    QCOMPARE(forward.size(), 2);
    QCOMPARE(points(curves, TestCurves::Forward).at(0), asMeasured({{1, 2}}).at(0));
    QCOMPARE(forward.at(1).force, 3.0);
    QVERIFY(std::isfinite(forward.at(1).distance));
    QCOMPARE(points(curves, TestCurves::Return), asMeasured({{4, 5}}));
}

void TestCurveFile::readReportsAnUnreadableDevice()
{
    QBuffer closed;
    bool ok = true;
    const TestCurves curves = CurveFile::read(&closed, &ok);
    QVERIFY(!ok);
    QVERIFY(curves.isEmpty());
}

void TestCurveFile::saveAndLoadRoundTrip()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("curve"); // no suffix: saved under exactly that name
    QString error;
    QVERIFY(CurveFile::save(path, curvesOf({{0.5, 1.25}, {1, -2.5}}, {{2, 3}}), 2, &error));
    QVERIFY(error.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"curve"});
    QCOMPARE(fileContent(path),
             textFile("Data Forward:\n0.50,1.25\n1.00,-2.50\nData Return:\n2.00,3.00\n"));

    TestCurves curves;
    QVERIFY(CurveFile::load(path, &curves, &error));
    QCOMPARE(points(curves, TestCurves::Forward), asMeasured({{0.5, 1.25}, {1, -2.5}}));
    QCOMPARE(points(curves, TestCurves::Return), asMeasured({{2, 3}}));
}

void TestCurveFile::saveReplacesAnExistingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("curve.txt");
    writeFile(path, QByteArray(5000, 'x'));
    QString error;
    QVERIFY(CurveFile::save(path, TestCurves(), 3, &error));
    QCOMPARE(fileContent(path), textFile("Data Forward:\nData Return:\n"));
}

void TestCurveFile::saveRefusesUnwritablePaths_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("a folder") << "folder";
    QTest::newRow("in a missing folder") << "missing/curve.txt";
    QTest::newRow("below a file") << "plain.txt/curve.txt";
}

void TestCurveFile::saveRefusesUnwritablePaths()
{
    QFETCH(QString, relativePath);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    writeFile(dir.filePath("folder/old.txt"), "old");
    writeFile(dir.filePath("plain.txt"), "plain");

    QString error;
    QVERIFY(!CurveFile::save(dir.filePath(relativePath), curvesOf({{1, 1}}, {}), 3, &error));
    QVERIFY2(!error.isEmpty(), "a failed save must say why");
    QVERIFY(QFileInfo(dir.filePath("folder")).isDir());
    QCOMPARE(fileContent(dir.filePath("folder/old.txt")), QByteArray("old"));
    QCOMPARE(fileContent(dir.filePath("plain.txt")), QByteArray("plain"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"folder", "plain.txt"}));
}

// A full disk, simulated by a file size limit (which binds root as well),
// must not cost the curves saved before.
void TestCurveFile::saveThatRunsOutOfSpaceKeepsTheOldFile()
{
#ifdef Q_OS_UNIX
    QTemporaryDir dir;
    const QString path = dir.filePath("curve.txt");
    const QByteArray old = "Data Forward:\n1.00,1.000\nData Return:\n";
    writeFile(path, old);

    TestCurves many;
    for (int i = 0; i < 100000; ++i) {
        many.add(TestCurves::Forward, i, i);
        many.add(TestCurves::Return, i, i);
    }

    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = 16 * 1024;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
    QString error;
    const bool savedOk = CurveFile::save(path, many, 3, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!savedOk);
    QVERIFY2(!error.isEmpty(), "a failed save must say why");
    QCOMPARE(fileContent(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"curve.txt"});
#else
    QSKIP("file size limits are a POSIX facility");
#endif
}

void TestCurveFile::suffixIsAddedOnlyToNamesWithoutOne_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no suffix") << "/data/run" << "/data/run.txt";
    QTest::newRow("txt") << "/data/run.txt" << "/data/run.txt";
    QTest::newRow("another suffix") << "/data/run.csv" << "/data/run.csv";
    QTest::newRow("dot in a folder only") << "/data/v1.2/run" << "/data/v1.2/run.txt";
    QTest::newRow("trailing dot") << "/data/run." << "/data/run.";
    QTest::newRow("hidden file") << "/data/.run" << "/data/.run";
}

void TestCurveFile::suffixIsAddedOnlyToNamesWithoutOne()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QCOMPARE(CurveFile::withSuffix(typed), saved);
}

void TestCurveFile::loadRefusesWhatIsNoRegularFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("relative");
    QTest::newRow("no name") << QString() << false;
    QTest::newRow("missing file") << "missing.txt" << true;
    QTest::newRow("a folder") << "folder.txt" << true;
#ifdef Q_OS_UNIX
    QTest::newRow("an endless device") << "/dev/zero" << false;
    QTest::newRow("a pipe") << "fifo.txt" << true;
#endif
}

void TestCurveFile::loadRefusesWhatIsNoRegularFile()
{
    QFETCH(QString, path);
    QFETCH(bool, relative);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder.txt"));
#ifdef Q_OS_UNIX
    QCOMPARE(mkfifo(QFile::encodeName(dir.filePath("fifo.txt")).constData(), 0600), 0);
#endif
    TestCurves curves = curvesOf({{9, 9}}, {});
    QString why;
    QVERIFY(!CurveFile::load(relative ? dir.filePath(path) : path, &curves, &why));
    QVERIFY2(!why.isEmpty(), "a refused file must say why");
    QCOMPARE(points(curves, TestCurves::Forward), asMeasured({{9, 9}}));
    QVERIFY(!CurveFile::isReadableCurveFile(relative ? dir.filePath(path) : path, nullptr));
}

QTEST_GUILESS_MAIN(TestCurveFile)
#include "tst_curvefile.moc"
