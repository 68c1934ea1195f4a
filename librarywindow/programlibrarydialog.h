#pragma once

#include "evaluation/testprogram.h"
#include "programlibrary/programversion.h"

#include <QDialog>

#include <functional>
#include <optional>

class ProgramLibraryStore;

namespace Ui {
class ProgramLibraryDialog;
}

// Program → Library…: every version of the lab's programs with its state
// and who made, approved and retired it. New, Import File and Edit open the
// program editor and then ask the name and part numbers; Approve and Retire
// move the selected version on. What the library allows is the storage's
// (LibraryRules, and on a lab server the database's own roles); a refusal
// is shown as it is given. Nothing here deletes anything.
class ProgramLibraryDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ProgramLibraryDialog(QWidget *parent = nullptr);
    ~ProgramLibraryDialog() override;

    // Reads the library again; false (the reason shown) when the records
    // database cannot be read.
    bool refresh();

signals:
    // A version was added or changed state: a part's approved program may
    // be another now.
    void libraryChanged();

private slots:
    void on_newButton_clicked();
    void on_importButton_clicked();
    void on_editButton_clicked();
    void on_approveButton_clicked();
    void on_retireButton_clicked();

private:
    std::optional<ProgramVersion> selectedVersion() const;
    void showVersions();
    void updateButtons();
    // The editor, then the name and parts; false when the engineer cancelled.
    bool askProgram(TestProgram *program, bool edit);
    bool askEntry(const QString &what, QString *name, QStringList *parts);
    // Runs one change of the library; *id, when given, is the version to
    // select afterwards.
    bool change(const std::function<bool(ProgramLibraryStore &store, qint64 *id)> &work);
    bool confirm(const QString &question);
    void complain(const QString &text);

    Ui::ProgramLibraryDialog *ui;
    QVector<ProgramVersion> m_versions;
    bool m_readable = false;
};
