#pragma once

#include "records/review.h"

class QLabel;
class QLineEdit;

// The login and password a reviewer types for one act on a lab's server,
// checked by the server and never kept (21 CFR 11.200). On a bench's file
// the computer's login acts: the fields are hidden.
class SignerPrompt
{
public:
    // The dialog's fields, once its form is set up. `offered`: the
    // station's login, a starting point the reviewer replaces with their own.
    void setUp(QLabel *loginLabel, QLineEdit *login, QLabel *passwordLabel, QLineEdit *password,
               bool checksPassword, const QString &offered);

    bool checksPassword() const { return m_checksPassword; }
    // Both typed, or none needed.
    bool isComplete() const;
    RecordsReview::Signer signer() const;
    // Where typing goes first: the password, unless no login is offered.
    void focus();

private:
    QLineEdit *m_login = nullptr;
    QLineEdit *m_password = nullptr;
    bool m_checksPassword = false;
};
