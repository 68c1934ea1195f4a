#include "history/signerprompt.h"

#include <QLabel>
#include <QLineEdit>

void SignerPrompt::setUp(QLabel *loginLabel, QLineEdit *login, QLabel *passwordLabel, QLineEdit *password,
                         bool checksPassword, const QString &offered)
{
    m_login = login;
    m_password = password;
    m_checksPassword = checksPassword;
    m_login->setText(offered);
    for (QWidget *field : {static_cast<QWidget *>(loginLabel), static_cast<QWidget *>(login),
                           static_cast<QWidget *>(passwordLabel), static_cast<QWidget *>(password)})
        field->setVisible(checksPassword);
}

bool SignerPrompt::isComplete() const
{
    return !m_checksPassword || (!m_login->text().trimmed().isEmpty() && !m_password->text().isEmpty());
}

RecordsReview::Signer SignerPrompt::signer() const
{
    if (!m_checksPassword)
        return {};
    return {m_login->text().trimmed(), m_password->text()};
}

void SignerPrompt::focus()
{
    if (m_checksPassword)
        (m_login->text().isEmpty() ? m_login : m_password)->setFocus();
}
