#include "app/languageselectdialog.h"
#include "app/translation.h"
#include "langfile.h"
#include "support/userfolders.h"

#include <QtTest>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

struct SeenBox
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

// Answers the message boxes that come up modally, one answer per box, and
// notes what each said. A box beyond the planned answers is rejected, so that
// a test with an unexpected question fails instead of waiting for ever.
class MessageBoxAnswerer : public QObject
{
public:
    explicit MessageBoxAnswerer(const QList<QMessageBox::StandardButton> &answers)
        : answers(answers)
    {
        connect(&poll, &QTimer::timeout, this, &MessageBoxAnswerer::answerOpenBox);
        poll.start(PollIntervalMs);
    }

    QList<SeenBox> seen;

private:
    static constexpr int PollIntervalMs = 5;

    void answerOpenBox()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen.append({box->icon(), box->windowTitle(), box->text()});
        QAbstractButton *button = answers.isEmpty() ? nullptr : box->button(answers.takeFirst());
        if (button)
            button->click();
        else
            box->reject();
    }

    QList<QMessageBox::StandardButton> answers;
    QTimer poll;
};

template<typename T>
T *child(QWidget *dialog, const char *name)
{
    T *widget = dialog->findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("languageSelectDialog has no %s", name);
    return widget;
}

} // namespace

// The language dialog, run modally and deleted on close as the main window
// runs it, with the message boxes answered as an operator would.
class tst_languagedialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensOnStoredChoice_data();
    void opensOnStoredChoice();
    void confirmedChangeWritesOnlyTheEntry_data();
    void confirmedChangeWritesOnlyTheEntry();
    void unchangedChoiceAsksNothing();
    void answeringNoKeepsFile();
    void cancelKeepsFile();
    void unwritableFileIsReported();
    void readOnlyInstallKeepsChoiceInUserConfiguration();
    void textsFollowChineseCatalogue();

private:
    // Runs a dialog the way the main window does and lets operate() work it
    // once it is up; returns when the dialog has closed and been deleted.
    bool run(const std::function<void(languageSelectDialog *)> &operate);
    static void choose(languageSelectDialog *dialog, int index, const char *button);
};

void tst_languagedialog::init()
{
    LangFile::remove();
    LangFile::removeTranslators();
}

void tst_languagedialog::cleanup()
{
    LangFile::remove();
    LangFile::removeTranslators();
}

bool tst_languagedialog::run(const std::function<void(languageSelectDialog *)> &operate)
{
    QPointer<languageSelectDialog> dialog = new languageSelectDialog(nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    QTimer::singleShot(0, dialog, [dialog, operate] { operate(dialog); });
    dialog->exec();
    return QTest::qWaitFor([&dialog] { return dialog.isNull(); });
}

void tst_languagedialog::choose(languageSelectDialog *dialog, int index, const char *button)
{
    child<QComboBox>(dialog, "comboBox")->setCurrentIndex(index);
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

void tst_languagedialog::opensOnStoredChoice_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("index");

    QTest::newRow("no file") << QByteArray() << 0;
    QTest::newRow("english") << QByteArray("Language:1") << 1;
    QTest::newRow("chinese with line end") << QByteArray("Language:2\n") << 2;
    QTest::newRow("key inside line") << QByteArray("Mode=1 Language: 2") << 2;
    QTest::newRow("nothing after colon") << QByteArray("Language:") << 0;
    QTest::newRow("not a number") << QByteArray("Language:zh") << 0;
    QTest::newRow("first entry counts") << QByteArray("Language:0\nLanguage:2\n") << 0;
    QTest::newRow("out of range") << QByteArray("Language:7") << 0;
    QTest::newRow("negative") << QByteArray("Language:-1") << 0;
    QTest::newRow("empty file") << QByteArray("") << 0;
    QTest::newRow("binary file") << LangFile::binaryJunk(100 * 1024) << 0;
    QTest::newRow("10 MB line") << QByteArray(10 * 1024 * 1024, 'L') << 0;
}

void tst_languagedialog::opensOnStoredChoice()
{
    QFETCH(QByteArray, content);
    QFETCH(int, index);

    if (!content.isNull())
        QVERIFY(LangFile::write(content));
    languageSelectDialog dialog(nullptr);

    QCOMPARE(child<QComboBox>(&dialog, "comboBox")->currentIndex(), index);
}

void tst_languagedialog::confirmedChangeWritesOnlyTheEntry_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("no file, english") << QByteArray() << 1 << QByteArray("Language:1");
    QTest::newRow("chinese to system") << QByteArray("Language:2\n") << 0
                                       << QByteArray("Language:0");
    QTest::newRow("other lines replaced") << QByteArray("Mode=1\nLanguage:1\nEnd\n") << 2
                                          << QByteArray("Language:2");
}

void tst_languagedialog::confirmedChangeWritesOnlyTheEntry()
{
    QFETCH(QByteArray, content);
    QFETCH(int, choice);
    QFETCH(QByteArray, written);

    if (!content.isNull())
        QVERIFY(LangFile::write(content));
    MessageBoxAnswerer answerer({QMessageBox::Yes, QMessageBox::Ok});

    QVERIFY(run([choice](languageSelectDialog *dialog) { choose(dialog, choice, "okBtn"); }));

    QCOMPARE(LangFile::contents(), written);
    QCOMPARE(answerer.seen.size(), 2);
    QCOMPARE(answerer.seen[0].icon, QMessageBox::Question);
    QCOMPARE(answerer.seen[0].title, QStringLiteral("Confrim"));
    QCOMPARE(answerer.seen[0].text, QStringLiteral("Confirm change the language?"));
    QCOMPARE(answerer.seen[1].icon, QMessageBox::Information);
    QCOMPARE(answerer.seen[1].title, QStringLiteral("Info"));
    QCOMPARE(answerer.seen[1].text,
             QStringLiteral("Language will be changed after application restart!"));
}

void tst_languagedialog::unchangedChoiceAsksNothing()
{
    const QByteArray content("Language:2\n");
    QVERIFY(LangFile::write(content));
    MessageBoxAnswerer answerer({});

    QVERIFY(run([](languageSelectDialog *dialog) { choose(dialog, 2, "okBtn"); }));

    QCOMPARE(LangFile::contents(), content);
    QCOMPARE(answerer.seen.size(), 0);
}

void tst_languagedialog::answeringNoKeepsFile()
{
    const QByteArray content("Language:2\n");
    QVERIFY(LangFile::write(content));
    MessageBoxAnswerer answerer({QMessageBox::No});

    QVERIFY(run([](languageSelectDialog *dialog) { choose(dialog, 1, "okBtn"); }));

    QCOMPARE(LangFile::contents(), content);
    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen[0].icon, QMessageBox::Question);
}

void tst_languagedialog::cancelKeepsFile()
{
    MessageBoxAnswerer answerer({});

    QVERIFY(run([](languageSelectDialog *dialog) { choose(dialog, 2, "cancelBtn"); }));

    QVERIFY(!QFileInfo::exists(LangFile::path()));
    QCOMPARE(answerer.seen.size(), 0);
}

void tst_languagedialog::unwritableFileIsReported()
{
    QVERIFY(LangFile::makeDirectory());
    MessageBoxAnswerer answerer({QMessageBox::Yes, QMessageBox::Ok});

    QVERIFY(run([](languageSelectDialog *dialog) { choose(dialog, 1, "okBtn"); }));

    QVERIFY(QFileInfo(LangFile::path()).isDir());
    QCOMPARE(answerer.seen.size(), 2);
    QCOMPARE(answerer.seen[1].icon, QMessageBox::Warning);
    QCOMPARE(answerer.seen[1].title, QStringLiteral("Language"));
    QVERIFY2(answerer.seen[1].text.contains(QDir::toNativeSeparators(LangFile::path())),
             qPrintable(answerer.seen[1].text));
}

void tst_languagedialog::readOnlyInstallKeepsChoiceInUserConfiguration()
{
    ReadOnlyInstall install;
    const QString userFile = install.homePath() + "/.config/" + QCoreApplication::applicationName()
                             + "/lang.ini";
    MessageBoxAnswerer answerer({QMessageBox::Yes, QMessageBox::Ok});

    QVERIFY(run([](languageSelectDialog *dialog) { choose(dialog, 2, "okBtn"); }));

    QCOMPARE(answerer.seen.size(), 2);
    QCOMPARE(answerer.seen[1].icon, QMessageBox::Information);
    QVERIFY(!QFileInfo::exists(LangFile::path()));
    QCOMPARE(LanguageFile::read(userFile), QByteArray("Language:2"));
    // Read back where start-up and the next dialog look.
    QCOMPARE(LanguageFile::startupChoice(LanguageFile::read(LanguageFile::path())),
             LanguageFile::Chinese);
    languageSelectDialog reopened(nullptr);
    QCOMPARE(child<QComboBox>(&reopened, "comboBox")->currentIndex(), 2);
}

void tst_languagedialog::textsFollowChineseCatalogue()
{
    QVERIFY(LangFile::write(LanguageFile::entry(LanguageFile::Chinese)));
    loadTranslation();
    // Ours and Qt's own.
    QCOMPARE(LangFile::installedTranslators(), 2);

    {
        languageSelectDialog dialog(nullptr);
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8("语言选择"));
        QCOMPARE(child<QLabel>(&dialog, "label")->text(), QString::fromUtf8("语言"));
        auto *combo = child<QComboBox>(&dialog, "comboBox");
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QString::fromUtf8("系统"));
        QCOMPARE(combo->itemText(1), QString::fromUtf8("英语"));
        QCOMPARE(combo->itemText(2), QString::fromUtf8("中文"));
        QCOMPARE(child<QPushButton>(&dialog, "okBtn")->text(), QString::fromUtf8("确认"));
        QCOMPARE(child<QPushButton>(&dialog, "cancelBtn")->text(), QString::fromUtf8("取消"));
    }

    MessageBoxAnswerer answerer({QMessageBox::Yes, QMessageBox::Ok});
    QVERIFY(run([](languageSelectDialog *dialog) { choose(dialog, 0, "okBtn"); }));

    QCOMPARE(answerer.seen.size(), 2);
    QCOMPARE(answerer.seen[0].title, QString::fromUtf8("确认"));
    QCOMPARE(answerer.seen[0].text, QString::fromUtf8("确认修改语言?"));
    QCOMPARE(answerer.seen[1].title, QString::fromUtf8("信息"));
    QCOMPARE(answerer.seen[1].text, QString::fromUtf8("应用重启后修改语言!"));
}

QTEST_MAIN(tst_languagedialog)
#include "tst_languagedialog.moc"
