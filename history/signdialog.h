#pragma once

#include "history/signerprompt.h"
#include "records/review.h"

#include <QDialog>
#include <QMetaType>

namespace Ui {
class SignDialog;
}

// What a reviewer signs: the selected tests or every test of the filter,
// with a meaning, a comment, and on a lab's server the login and the
// password typed for this signing (checked by the server, never kept).
struct SignRequest
{
    bool wholeFilter = false;
    QString meaning;
    QString comment;
    RecordsReview::Signer signer;
};
Q_DECLARE_METATYPE(SignRequest)

// History → Sign…: asks for the signing and hands it back by sendSignRequest;
// the window signs.
class SignDialog : public QDialog
{
    Q_OBJECT

public:
    // `login`: on a lab's server the login offered (the station's), on a
    // bench's file the computer's login, which signs there.
    SignDialog(int selected, int inFilter, bool checksPassword, const QString &login, QWidget *parent = nullptr);
    ~SignDialog() override;

    SignRequest request() const;

signals:
    void sendSignRequest(SignRequest request);

private slots:
    void on_buttonBox_accepted();

private:
    Ui::SignDialog *ui;
    SignerPrompt m_signer;
};
