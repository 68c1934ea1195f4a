#pragma once

#include "history/signerprompt.h"
#include "records/review.h"
#include "records/testrecord.h"

#include <QDialog>
#include <QMetaType>

namespace Ui {
class AmendDialog;
}

// A reviewer's correction of one identity field of a test, with the reason
// and, on a lab's server, the login and password typed for it.
struct AmendRequest
{
    qint64 testId = 0;
    QString field;   // one of RecordsReview::amendableFields()
    QString value;
    QString reason;
    RecordsReview::Signer signer;
};
Q_DECLARE_METATYPE(AmendRequest)

// History → Amend…: shows the value on record, asks for the right one and
// why, and hands the request back by sendAmendRequest; the window amends.
class AmendDialog : public QDialog
{
    Q_OBJECT

public:
    AmendDialog(qint64 testId, const TestIdentity &identity, bool checksPassword, const QString &login,
                QWidget *parent = nullptr);
    ~AmendDialog() override;

    AmendRequest request() const;

signals:
    void sendAmendRequest(AmendRequest request);

private slots:
    void on_fieldCombo_currentIndexChanged(int index);
    void on_buttonBox_accepted();

private:
    QString currentValue() const;

    Ui::AmendDialog *ui;
    qint64 m_testId;
    TestIdentity m_identity;
    SignerPrompt m_signer;
};
