#include "librarywindow/libraryentrydialog.h"
#include "ui_libraryentrydialog.h"

#include "programlibrary/libraryrules.h"
#include "widgets/widgetfit.h"

#include <QRegularExpression>

LibraryEntryDialog::LibraryEntryDialog(const QString &program, const QString &name,
                                       const QStringList &parts, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::LibraryEntryDialog)
{
    ui->setupUi(this);
    ui->programLabel->setText(program);
    ui->nameEdit->setText(name);
    ui->partsEdit->setPlainText(parts.join(QLatin1Char('\n')));
    WidgetFit::fit(this);
}

LibraryEntryDialog::~LibraryEntryDialog()
{
    delete ui;
}

QString LibraryEntryDialog::name() const
{
    return ui->nameEdit->text().trimmed();
}

QStringList LibraryEntryDialog::parts() const
{
    return partsFromText(ui->partsEdit->toPlainText());
}

QStringList LibraryEntryDialog::partsFromText(const QString &text)
{
    static const QRegularExpression separators(QStringLiteral("[\\n,;]"));
    return LibraryRules::normalisedParts(text.split(separators));
}
