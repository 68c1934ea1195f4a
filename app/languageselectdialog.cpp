#include "app/languageselectdialog.h"
#include "ui_languageselectdialog.h"

#include "app/translation.h"
#include "widgets/widgetfit.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>

languageSelectDialog::languageSelectDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::languageSelectDialog)
    , languageIndex(LanguageFile::System)
{
    ui->setupUi(this);

    const int stored = LanguageFile::firstEntry(LanguageFile::read(LanguageFile::path()));
    // Start-up treats any other number as "System"; showing it so keeps the
    // combo on a real item, and OK then writes a value start-up understands.
    if (stored >= 0 && stored < ui->comboBox->count())
        languageIndex = stored;
    ui->comboBox->setCurrentIndex(languageIndex);
    WidgetFit::fit(this);
}

languageSelectDialog::~languageSelectDialog()
{
    delete ui;
}

void languageSelectDialog::on_okBtn_clicked()
{
    const int chosen = ui->comboBox->currentIndex();
    if (chosen != languageIndex && confirmChange()) {
        QString failure;
        if (saveLanguage(chosen, &failure)) {
            QMessageBox::information(this, tr("Info"),
                                     tr("Language will be changed after application restart!"),
                                     QMessageBox::Ok);
        } else {
            QMessageBox::warning(this, tr("Language"),
                                 tr("The language choice could not be saved to %1: %2")
                                     .arg(QDir::toNativeSeparators(LanguageFile::path()), failure),
                                 QMessageBox::Ok);
        }
    }
    close();
}

void languageSelectDialog::on_cancelBtn_clicked()
{
    close();
}

bool languageSelectDialog::confirmChange()
{
    return QMessageBox::question(this, tr("Confrim"), tr("Confirm change the language?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::NoButton)
        == QMessageBox::Yes;
}

bool languageSelectDialog::saveLanguage(int index, QString *failure) const
{
    // Written aside and renamed into place, so that a failed write leaves the
    // earlier choice intact instead of an empty or half-written file.
    const QString path = LanguageFile::path();
    // The user's configuration folder may not exist before the first choice.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *failure = file.errorString();
        return false;
    }
    const QByteArray entry = LanguageFile::entry(index);
    if (file.write(entry) != entry.size() || !file.commit()) {
        *failure = file.errorString();
        return false;
    }
    return true;
}
