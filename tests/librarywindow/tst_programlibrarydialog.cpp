// Program → Library… on a real SQLite records database: a program file
// imported, approved, edited into a new draft that retires it when approved,
// and a refusal shown as the library gives it.
#include "evaluation/programfile.h"
#include "librarywindow/libraryentrydialog.h"
#include "librarywindow/programlibrarydialog.h"
#include "records/programlibrarystore.h"
#include "records/recordsdatabase.h"
#include "results/programdialog.h"
#include "widgets/filedialogs.h"
#include "support/modalwidget.h"

#include <QtTest>
#include <QtWidgets>

namespace {

enum Column { NumberColumn, NameColumn, VersionColumn, StateColumn, PartsColumn };

QString cell(ProgramLibraryDialog &dialog, int row, int column)
{
    return dialog.findChild<QTableWidget *>("versionsTable")->item(row, column)->text();
}

void select(ProgramLibraryDialog &dialog, int row)
{
    dialog.findChild<QTableWidget *>("versionsTable")->selectRow(row);
}

QPushButton *button(ProgramLibraryDialog &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(name);
}

// The name and part numbers typed into the entry dialog, and OK.
void enterNameAndParts(QObject *context, const QString &name, const QString &parts)
{
    whenModalOfTypeOpens<LibraryEntryDialog>(context, [name, parts](LibraryEntryDialog *entry) {
        entry->findChild<QLineEdit *>("nameEdit")->setText(name);
        entry->findChild<QPlainTextEdit *>("partsEdit")->setPlainText(parts);
        entry->accept();
    });
}

void answerQuestion(QObject *context, QMessageBox::StandardButton answer, QString *text = nullptr)
{
    whenModalOfTypeOpens<QMessageBox>(context, [answer, text](QMessageBox *box) {
        if (text)
            *text = box->text();
        box->button(answer)->click();
    });
}

} // namespace

class tst_ProgramLibraryDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void importApproveEditApprove();
    void refusalShownAsGiven();
    void entryPartsAsTypedOrPasted_data();
    void entryPartsAsTypedOrPasted();

private:
    QTemporaryDir m_dir;
};

void tst_ProgramLibraryDialog::initTestCase()
{
    qputenv("TORVELIN_DB", QFile::encodeName(m_dir.filePath("records.sqlite")));
    TestProgram program;
    program.number = 7;
    program.speed = 50;
    program.points << TestPoint{10, 200, 190, 210, 0, {}};
    QString error;
    QVERIFY2(ProgramFile::save(m_dir.filePath("valve.json"), program, &error), qPrintable(error));
    FileDialogs::getOpenFileName = [this](QWidget *, const QString &, const QString &, const QString &) {
        return m_dir.filePath("valve.json");
    };
}

void tst_ProgramLibraryDialog::cleanupTestCase()
{
    FileDialogs::restoreDefaults();
}

void tst_ProgramLibraryDialog::importApproveEditApprove()
{
    ProgramLibraryDialog dialog;
    dialog.show();
    QSignalSpy changed(&dialog, &ProgramLibraryDialog::libraryChanged);
    auto *table = dialog.findChild<QTableWidget *>("versionsTable");
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(!button(dialog, "approveButton")->isEnabled());

    enterNameAndParts(&dialog, "Valve spring", "SP-20\n SP-21 ,SP-20");
    button(dialog, "importButton")->click();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(cell(dialog, 0, NameColumn), QStringLiteral("Valve spring"));
    QCOMPARE(cell(dialog, 0, PartsColumn), QStringLiteral("SP-20, SP-21"));
    QCOMPARE(cell(dialog, 0, StateColumn), QStringLiteral("draft"));
    // The new version is the one selected: a draft may be approved.
    QVERIFY(button(dialog, "approveButton")->isEnabled());

    QString question;
    answerQuestion(&dialog, QMessageBox::Yes, &question);
    button(dialog, "approveButton")->click();
    QVERIFY(question.contains("SP-20, SP-21"));
    QCOMPARE(cell(dialog, 0, StateColumn), QStringLiteral("approved"));
    QVERIFY(!button(dialog, "approveButton")->isEnabled());
    QVERIFY(button(dialog, "retireButton")->isEnabled());

    // The approved version stays; the edit is version 2, a draft.
    whenModalOfTypeOpens<ProgramDialog>(&dialog, [](ProgramDialog *editor) {
        editor->findChild<QSpinBox *>("speedSpinBox")->setValue(80);
        editor->accept();
    });
    enterNameAndParts(&dialog, "Valve spring", "SP-20");
    button(dialog, "editButton")->click();
    QCOMPARE(changed.count(), 3);
    QCOMPARE(table->rowCount(), 2);
    QCOMPARE(cell(dialog, 0, StateColumn), QStringLiteral("approved"));
    QCOMPARE(cell(dialog, 1, VersionColumn), QStringLiteral("2"));
    QCOMPARE(cell(dialog, 1, StateColumn), QStringLiteral("draft"));

    // A question answered No changes nothing.
    select(dialog, 1);
    answerQuestion(&dialog, QMessageBox::No);
    button(dialog, "approveButton")->click();
    QCOMPARE(cell(dialog, 1, StateColumn), QStringLiteral("draft"));

    answerQuestion(&dialog, QMessageBox::Yes);
    button(dialog, "approveButton")->click();
    QCOMPARE(cell(dialog, 0, StateColumn), QStringLiteral("retired"));
    QCOMPARE(cell(dialog, 1, StateColumn), QStringLiteral("approved"));

    ProgramLibraryStore store(RecordsDatabase::forCurrentThread());
    QVector<ProgramVersion> versions;
    QVERIFY(store.readForPart("SP-20", &versions));
    TestProgram approved;
    QString error;
    QVERIFY(ProgramLibraryStore::programOf(*LibraryRules::approvedFor(versions, "SP-20"), &approved, &error));
    QCOMPARE(approved.speed, 80);
    // SP-21 left the program with version 2: no approved program holds it.
    QVERIFY(store.readForPart("SP-21", &versions));
    QVERIFY(!LibraryRules::approvedFor(versions, "SP-21"));
}

void tst_ProgramLibraryDialog::refusalShownAsGiven()
{
    ProgramLibraryDialog dialog;
    dialog.show();
    auto *table = dialog.findChild<QTableWidget *>("versionsTable");
    const int before = table->rowCount();
    // A draft without a part number cannot be approved.
    whenModalOfTypeOpens<ProgramDialog>(&dialog, [](ProgramDialog *editor) {
        editor->findChild<QSpinBox *>("numberSpinBox")->setValue(9);
        editor->accept();
    });
    enterNameAndParts(&dialog, "Clutch", "");
    button(dialog, "newButton")->click();
    QCOMPARE(table->rowCount(), before + 1);
    select(dialog, before);
    // The question first, then the refusal.
    QString warning;
    whenModalOfTypeOpens<QMessageBox>(&dialog, [&dialog, &warning](QMessageBox *box) {
        answerQuestion(&dialog, QMessageBox::Ok, &warning);
        box->button(QMessageBox::Yes)->click();
    });
    button(dialog, "approveButton")->click();
    QVERIFY2(warning.contains("part"), qPrintable(warning));
    QCOMPARE(cell(dialog, before, StateColumn), QStringLiteral("draft"));
}

void tst_ProgramLibraryDialog::entryPartsAsTypedOrPasted_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("parts");
    QTest::newRow("one a line") << "SP-20\nSP-21" << QStringList{"SP-20", "SP-21"};
    QTest::newRow("commas and semicolons") << "SP-20, SP-21;SP-22" << QStringList{"SP-20", "SP-21", "SP-22"};
    QTest::newRow("blank lines, twice, a scanner's CR") << "\nSP-20\r\n\nSP-20\n" << QStringList{"SP-20"};
    QTest::newRow("case kept") << "sp-20\nSP-20" << QStringList{"sp-20", "SP-20"};
    QTest::newRow("nothing") << "  \n" << QStringList{};
}

void tst_ProgramLibraryDialog::entryPartsAsTypedOrPasted()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, parts);
    QCOMPARE(LibraryEntryDialog::partsFromText(typed), parts);
}

QTEST_MAIN(tst_ProgramLibraryDialog)
#include "tst_programlibrarydialog.moc"
