#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// torvelin-eval as a quality engineer runs it: the real executable, real
// files, its exit status, its lines and its messages.
class TestEvalCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void judgesEachFile_data();
    void judgesEachFile();

private:
    QString write(const QString &name, const QByteArray &content);

    QTemporaryDir m_dir;
};

QString TestEvalCommand::write(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(content);
    return file.fileName();
}

void TestEvalCommand::initTestCase()
{
    QVERIFY(QFileInfo(qEnvironmentVariable("TORVELIN_EVAL")).isExecutable());
    QVERIFY(m_dir.isValid());
    // 5 N/mm; point 1 at 2 mm within 9.5…10.5 N.
    write("program.json", R"({"number": 1, "speed": 100, "points": [
        {"distance": 2, "force": 10, "lower": 9.5, "upper": 10.5}]})");
    write("good.txt", "Data Forward:\n0.00,0.000\n4.00,20.000\nData Return:\n4.00,20.000\n0.00,0.000\n");
    write("weak.txt", "Data Forward:\n0.00,0.000\n4.00,16.000\nData Return:\n");
    write("broken.json", "{\"points\": 5}");
    QVERIFY(QDir(m_dir.path()).mkdir("folder.txt"));
}

void TestEvalCommand::judgesEachFile_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("verdicts"); // of the lines printed, in order
    QTest::addColumn<QString>("message");      // a text the error output holds

    QTest::newRow("every file passes")
        << QStringList{"--program", "program.json", "good.txt", "good.txt"} << 0
        << QStringList{"pass", "pass"} << QString();
    QTest::newRow("one file fails")
        << QStringList{"--program", "program.json", "good.txt", "weak.txt"} << 1
        << QStringList{"pass", "fail"} << QString();
    QTest::newRow("an unreadable file is named, the others still judged")
        << QStringList{"--program", "program.json", "missing.txt", "folder.txt", "weak.txt"} << 2
        << QStringList{"fail"} << "folder.txt";
    QTest::newRow("no program") << QStringList{"good.txt"} << 2 << QStringList{} << "--program";
    QTest::newRow("no curve file") << QStringList{"--program", "program.json"} << 2
                                   << QStringList{} << "--program";
    QTest::newRow("a broken program is named")
        << QStringList{"--program", "broken.json", "good.txt"} << 2 << QStringList{}
        << "broken.json";
    QTest::newRow("an unknown option") << QStringList{"--frobnicate", "good.txt"} << 2
                                       << QStringList{} << "frobnicate";
}

void TestEvalCommand::judgesEachFile()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, verdicts);
    QFETCH(QString, message);

    QProcess eval;
    eval.setWorkingDirectory(m_dir.path());
    eval.start(qEnvironmentVariable("TORVELIN_EVAL"), arguments);
    QVERIFY(eval.waitForFinished(30000));
    const QByteArray errors = eval.readAllStandardError();
    QCOMPARE(eval.exitStatus(), QProcess::NormalExit);
    QCOMPARE(eval.exitCode(), exitCode);
    QVERIFY2(errors.contains(message.toUtf8()), errors.constData());

    QStringList printed;
    for (const QByteArray &line : eval.readAllStandardOutput().split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonObject result = QJsonDocument::fromJson(line).object();
        printed.append(result.value("verdict").toString());
        QVERIFY2(arguments.contains(result.value("file").toString()), line.constData());
    }
    QCOMPARE(printed, verdicts);
}

QTEST_GUILESS_MAIN(TestEvalCommand)
#include "tst_evalcommand.moc"
