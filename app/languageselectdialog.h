#pragma once

#include <QDialog>

namespace Ui {
class languageSelectDialog;
}

// Lets the operator choose the interface language for the next start and
// stores the choice in lang.ini; the running program keeps its language.
class languageSelectDialog : public QDialog
{
    Q_OBJECT

public:
    explicit languageSelectDialog(QWidget *parent = nullptr);
    ~languageSelectDialog() override;

private slots:
    void on_okBtn_clicked();
    void on_cancelBtn_clicked();

private:
    bool confirmChange();
    bool saveLanguage(int index, QString *failure) const;

    Ui::languageSelectDialog *ui;
    // The choice lang.ini held when the dialog opened, as a combo position.
    int languageIndex;
};
