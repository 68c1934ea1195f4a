#pragma once

#include <QDialog>
#include <QStringList>

namespace Ui {
class LibraryEntryDialog;
}

// What the library keeps beside a program: its name and the part numbers it
// judges. Asked when a program goes into the library (new, imported, edited).
class LibraryEntryDialog : public QDialog
{
    Q_OBJECT

public:
    // `program` says which program this is ("Program 7, version 3").
    LibraryEntryDialog(const QString &program, const QString &name, const QStringList &parts,
                       QWidget *parent = nullptr);
    ~LibraryEntryDialog() override;

    QString name() const;
    QStringList parts() const;

    // Part numbers as an engineer types or pastes them: one a line, or
    // separated by commas or semicolons; each once, none empty.
    static QStringList partsFromText(const QString &text);

private:
    Ui::LibraryEntryDialog *ui;
};
