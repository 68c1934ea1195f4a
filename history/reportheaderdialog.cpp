#include "history/reportheaderdialog.h"
#include "ui_reportheaderdialog.h"

#include "widgets/widgetfit.h"
#include "widgets/filedialogs.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>

namespace {
constexpr int PreviewHeight = 48;
} // namespace

ReportHeaderDialog::ReportHeaderDialog(const LabHeader &header, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ReportHeaderDialog)
{
    ui->setupUi(this);
    ui->companyEdit->setText(header.companyName);
    ui->addressEdit->setText(header.addressLine);
    ui->logoEdit->setText(header.logoFile);
    on_logoEdit_textChanged(header.logoFile);
    WidgetFit::fit(this);
}

ReportHeaderDialog::~ReportHeaderDialog()
{
    delete ui;
}

LabHeader ReportHeaderDialog::header() const
{
    return {ui->companyEdit->text().trimmed(), ui->addressEdit->text().trimmed(),
            ui->logoEdit->text().trimmed()};
}

void ReportHeaderDialog::on_browseButton_clicked()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.%1").arg(QString::fromLatin1(format));
    const QString start = ui->logoEdit->text().isEmpty()
                              ? QString()
                              : QFileInfo(ui->logoEdit->text()).absolutePath();
    const QString chosen = FileDialogs::getOpenFileName(
        this, tr("Logo file"), start, tr("Pictures (%1)").arg(patterns.join(QLatin1Char(' '))));
    if (!chosen.isEmpty())
        ui->logoEdit->setText(chosen);
}

// The logo as the reports will print it, or why it will not print.
void ReportHeaderDialog::on_logoEdit_textChanged(const QString &text)
{
    const QString path = text.trimmed();
    if (path.isEmpty()) {
        ui->logoPreview->setPixmap(QPixmap());
        ui->logoPreview->setText(tr("No logo."));
        return;
    }
    QImageReader reader(path);
    const QImage logo = reader.read();
    if (logo.isNull()) {
        ui->logoPreview->setPixmap(QPixmap());
        ui->logoPreview->setText(tr("This picture cannot be read: %1").arg(reader.errorString()));
        return;
    }
    ui->logoPreview->setPixmap(
        QPixmap::fromImage(logo.scaledToHeight(PreviewHeight, Qt::SmoothTransformation)));
}

void ReportHeaderDialog::on_buttonBox_accepted()
{
    emit sendLabHeader(header());
    accept();
}
