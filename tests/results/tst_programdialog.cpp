// The program editor: what is typed comes back as the program, with the
// file's keys it does not show; a cell that is no number keeps it open.
#include "results/programdialog.h"
#include "support/modalwidget.h"

#include <QMessageBox>
#include <QTableWidget>
#include <QtTest>

namespace {

TestProgram programWithOtherKeys()
{
    TestProgram program;
    program.number = 3;
    program.speed = 100;
    TestPoint point;
    point.distance = 5;
    point.force = 20;
    point.tolerancePercent = 5;
    point.otherKeys.insert(QStringLiteral("gauge"), QStringLiteral("B2"));
    program.points << point;
    program.otherKeys.insert(QStringLiteral("customer"), QStringLiteral("ACME"));
    return program;
}

void typeInto(ProgramDialog *dialog, int row, int column, const QString &text)
{
    auto *table = dialog->findChild<QTableWidget *>(QStringLiteral("pointsTable"));
    table->item(row, column)->setText(text);
}

} // namespace

class tst_ProgramDialog : public QObject
{
    Q_OBJECT

private slots:
    void typedPointComesBackWithTheFilesOtherKeys();
    void cellThatIsNoNumberKeepsTheDialogOpen();
};

void tst_ProgramDialog::typedPointComesBackWithTheFilesOtherKeys()
{
    ProgramDialog dialog(programWithOtherKeys());
    QVector<TestProgram> sent;
    connect(&dialog, &ProgramDialog::sendProgram, this, [&sent](const TestProgram &p) { sent << p; });
    typeInto(&dialog, 0, 1, QStringLiteral("22.5"));
    // A second point typed into the first empty row.
    typeInto(&dialog, 1, 0, QStringLiteral("10"));
    typeInto(&dialog, 1, 1, QStringLiteral("45"));
    dialog.accept();

    QCOMPARE(sent.size(), 1);
    const TestProgram &program = sent.first();
    QCOMPARE(program.points.size(), 2);
    QCOMPARE(program.points.at(0).force, 22.5);
    QCOMPARE(program.points.at(0).otherKeys.value(QStringLiteral("gauge")).toString(),
             QStringLiteral("B2"));
    QCOMPARE(program.points.at(1).distance, 10.0);
    QCOMPARE(program.points.at(1).force, 45.0);
    QCOMPARE(program.otherKeys, programWithOtherKeys().otherKeys);
}

void tst_ProgramDialog::cellThatIsNoNumberKeepsTheDialogOpen()
{
    ProgramDialog dialog(programWithOtherKeys());
    dialog.show();
    int sent = 0;
    connect(&dialog, &ProgramDialog::sendProgram, this, [&sent] { ++sent; });
    typeInto(&dialog, 0, 2, QStringLiteral("12,5 N"));
    QString warned;
    whenModalOpens(&dialog, [&warned](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        warned = box->text();
        box->accept();
    });
    dialog.accept();

    QVERIFY2(warned.contains(QStringLiteral("12,5 N")), qPrintable(warned));
    QCOMPARE(sent, 0);
    QVERIFY(dialog.isVisible());
    auto *table = dialog.findChild<QTableWidget *>(QStringLiteral("pointsTable"));
    QCOMPARE(table->currentRow(), 0);
    QCOMPARE(table->currentColumn(), 2);
}

QTEST_MAIN(tst_ProgramDialog)
#include "tst_programdialog.moc"
