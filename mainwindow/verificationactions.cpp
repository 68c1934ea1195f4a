#include "mainwindow/verificationactions.h"

#include "history/reports.h"
#include "records/audittrail.h"
#include "records/recordsdatabase.h"
#include "records/testrecord.h"
#include "records/verificationstore.h"
#include "recording/identitybar.h"
#include "settings/applocations.h"
#include "verificationwindow/verifymachinedialog.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStatusBar>

namespace {
const char UnfitColour[] = "color: #b00000";
} // namespace

VerificationActions::VerificationActions(QMainWindow *window, QMenu *deviceMenu,
                                         std::function<int()> machineRange)
    : QObject(window)
    , m_window(window)
    , m_machineRange(std::move(machineRange))
    , m_label(new QLabel(window))
{
    QAction *verify = deviceMenu->addAction(tr("Verify Machine..."));
    verify->setObjectName(QStringLiteral("actionVerifyMachine"));
    connect(verify, &QAction::triggered, this, &VerificationActions::showDialog);
    m_label->setObjectName(QStringLiteral("verificationStatusLabel"));
    window->statusBar()->addPermanentWidget(m_label);
    refresh();
}

void VerificationActions::refresh()
{
    QString error;
    const bool read = m_gate.readVerification(TestHeader::thisStation(), &error);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const VerificationRules::State state = m_gate.verificationState(now);
    m_label->setText(m_gate.verificationText(now));
    const bool unfit = state == VerificationRules::State::Overdue || state == VerificationRules::State::Failed;
    m_label->setStyleSheet(unfit ? QLatin1String(UnfitColour) : QString());
    m_label->setToolTip(read ? QString() : tr("The verifications cannot be read: %1").arg(error));
}

QString VerificationActions::certificatePath(const MachineVerification &verification)
{
    // A host name may hold what a file name must not.
    QString station = verification.station;
    station.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    const QString time = verification.performedAt.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    return QDir(AppLocations::dataDirectory())
        .filePath(QStringLiteral("verification-%1-%2.pdf").arg(station, time));
}

void VerificationActions::receiveCurrentPointValue(float distance, float force)
{
    if (m_dialog)
        m_dialog->receiveCurrentPointValue(distance, force);
}

void VerificationActions::showDialog()
{
    VerificationSetup setup;
    setup.station = TestHeader::thisStation();
    const auto *bar = m_window->findChild<IdentityBar *>();
    setup.performedBy = bar ? bar->identity().operatorName : QString();
    if (setup.performedBy.isEmpty())
        setup.performedBy = AuditTrail::localUser();
    setup.machineRange = m_machineRange();
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    if (db.isValid()) {
        VerificationStore store(db);
        if (!store.readSettings(&setup.settings))
            error = store.lastError();
    }
    if (!error.isEmpty()) {
        // Without the records database the verification could not be kept.
        QMessageBox::warning(m_window, tr("Verify Machine"),
                             tr("The records database cannot be read: %1").arg(error));
        return;
    }
    refresh();
    if (const auto inForce = m_gate.verificationInForce(QDateTime::currentDateTimeUtc()))
        setup.reference = inForce->reference;

    auto *dialog = new VerifyMachineDialog(setup, m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog = dialog;
    connect(dialog, &VerifyMachineDialog::sendVerification, this, &VerificationActions::record);
    dialog->exec();
}

void VerificationActions::record(MachineVerification verification)
{
    verification.certificatePath = certificatePath(verification);
    QString error;
    QSqlDatabase db = RecordsDatabase::forCurrentThread(&error);
    qint64 id = 0;
    if (db.isValid()) {
        VerificationStore store(db);
        if (!store.add(verification, &id))
            error = store.lastError();
    }
    if (id == 0) {
        // The dialog stays open with its points for another try.
        QMessageBox::warning(m_dialog, tr("Verify Machine"),
                             tr("The verification is not recorded: %1").arg(error));
        return;
    }
    m_dialog->receiveRecorded();
    refresh();
    // The certificate names the verification on record, so it follows it.
    verification.id = id;
    if (!Reports::writeVerificationPdf(verification.certificatePath, verification, &error)) {
        QMessageBox::warning(m_window, tr("Verify Machine"),
                             tr("Verification %1 is recorded, but its certificate could not be written "
                                "to %2: %3")
                                 .arg(id)
                                 .arg(QDir::toNativeSeparators(verification.certificatePath), error));
        return;
    }
    m_window->statusBar()->showMessage(tr("Verification %1 recorded; its certificate is %2")
                                           .arg(id)
                                           .arg(QDir::toNativeSeparators(verification.certificatePath)));
}
