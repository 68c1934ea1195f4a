#include "verificationwindow/verifymachinedialog.h"
#include "ui_verifymachinedialog.h"

#include "numbers/numbertext.h"
#include "widgets/verdictstyle.h"
#include "widgets/widgetfit.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>

#include <cmath>

namespace {

enum Column { ReferenceColumn, IndicatedColumn, ErrorColumn, VerdictColumn, ColumnCount };
constexpr int ErrorDecimals = 2;
constexpr int IndicatedRole = Qt::UserRole;
constexpr int WithinRole = Qt::UserRole + 1;
// A force of this magnitude is beyond any machine's range: the widest text
// a cell shows.
constexpr int WidestForceDigits = 5;

QTableWidgetItem *readOnly(const QString &text = QString())
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

VerifyMachineDialog::VerifyMachineDialog(const VerificationSetup &setup, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::VerifyMachineDialog)
    , m_setup(setup)
{
    ui->setupUi(this);
    ui->referenceNameEdit->setText(setup.reference.name);
    ui->certificateEdit->setText(setup.reference.certificate);
    ui->referenceDueEdit->setDate(setup.reference.dueDate.isValid() ? setup.reference.dueDate
                                                                    : QDate::currentDate());
    ui->performedByEdit->setText(setup.performedBy);
    ui->permittedLabel->setText(tr("Permitted error ±%1 % of reading")
                                    .arg(setup.settings.permittedErrorPercent));
    ui->liveForceLabel->setText(tr("Live force: %1 N").arg(QStringLiteral("–")));
    ui->buttonBox->button(QDialogButtonBox::Save)->setText(tr("Save"));
    setUpTable(ui->asFoundTable, VerificationRules::suggestedForces(setup.machineRange));
    setUpTable(ui->asLeftTable, {});
    ui->passTabs->setTabEnabled(1, false);

    m_takeTimer.setSingleShot(true);
    m_takeTimer.setInterval(AverageMs);
    connect(&m_takeTimer, &QTimer::timeout, this, &VerifyMachineDialog::finishTake);
    for (QTableWidget *table : {ui->asFoundTable, ui->asLeftTable}) {
        connect(table, &QTableWidget::itemChanged, this, [this, table](QTableWidgetItem *item) {
            if (item->column() == ReferenceColumn)
                showRow(table, item->row());
        });
    }
    WidgetFit::reserve(ui->liveForceLabel,
                       tr("Live force: %1 N").arg(WidgetFit::digits(WidestForceDigits, forceDecimals)));
    WidgetFit::reserve(ui->verdictLabel, tr("As found: fail at %1 of %2 points").arg(99).arg(99));
    showVerdicts();
    WidgetFit::fit(this);
}

VerifyMachineDialog::~VerifyMachineDialog()
{
    delete ui;
}

void VerifyMachineDialog::setUpTable(QTableWidget *table, const QVector<double> &references)
{
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({tr("Reference (N)"), tr("Machine (N)"), tr("Error (%)"),
                                      tr("Verdict")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    for (double reference : references)
        addRow(table, reference);
    if (table->rowCount() > 0)
        table->setCurrentCell(0, ReferenceColumn);
}

void VerifyMachineDialog::addRow(QTableWidget *table, double reference)
{
    const QSignalBlocker blocker(table);
    const int row = table->rowCount();
    table->insertRow(row);
    auto *referenceItem = new QTableWidgetItem(reference != 0 ? NumberText::force(reference) : QString());
    referenceItem->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, ReferenceColumn, referenceItem);
    for (int column = IndicatedColumn; column < ColumnCount; ++column)
        table->setItem(row, column, readOnly());
}

QTableWidget *VerifyMachineDialog::currentTable() const
{
    return ui->passTabs->currentIndex() == 1 ? ui->asLeftTable : ui->asFoundTable;
}

void VerifyMachineDialog::receiveCurrentPointValue(float distance, float force)
{
    Q_UNUSED(distance)
    if (!std::isfinite(force))
        return;
    ui->liveForceLabel->setText(tr("Live force: %1 N").arg(NumberText::force(force)));
    if (m_takeTimer.isActive()) {
        m_forceSum += force;
        ++m_forceCount;
    }
}

void VerifyMachineDialog::on_takeButton_clicked()
{
    QTableWidget *table = currentTable();
    const int row = table->currentRow();
    if (row < 0) {
        QMessageBox::information(this, tr("Verify Machine"), tr("Choose the point to take."));
        return;
    }
    bool ok = false;
    const double reference = NumberText::toDouble(table->item(row, ReferenceColumn)->text(), &ok);
    if (!ok || reference == 0) {
        QMessageBox::information(this, tr("Verify Machine"),
                                 tr("Type what the reference instrument shows first."));
        return;
    }
    m_takingTable = table;
    m_takingRow = row;
    m_forceSum = 0;
    m_forceCount = 0;
    setTaking(true);
    m_takeTimer.start();
}

void VerifyMachineDialog::setTaking(bool taking)
{
    for (QWidget *widget : {static_cast<QWidget *>(ui->takeButton), static_cast<QWidget *>(ui->addPointButton),
                            static_cast<QWidget *>(ui->removePointButton), static_cast<QWidget *>(ui->passTabs),
                            static_cast<QWidget *>(ui->adjustedCheckBox), static_cast<QWidget *>(ui->buttonBox)})
        widget->setEnabled(!taking);
    if (taking)
        ui->verdictLabel->setText(tr("Taking the machine's force: hold the load steady."));
}

void VerifyMachineDialog::finishTake()
{
    setTaking(false);
    QTableWidget *table = m_takingTable;
    const int row = m_takingRow;
    m_takingTable = nullptr;
    if (!table || row >= table->rowCount())
        return;
    if (m_forceCount == 0) {
        showVerdicts();
        QMessageBox::warning(this, tr("Verify Machine"),
                             tr("No force came from the tester in that second. Is it connected, "
                                "with no test running?"));
        return;
    }
    table->item(row, IndicatedColumn)->setData(IndicatedRole, m_forceSum / m_forceCount);
    showRow(table, row);
    if (row + 1 < table->rowCount())
        table->setCurrentCell(row + 1, ReferenceColumn);
}

void VerifyMachineDialog::showRow(QTableWidget *table, int row)
{
    const QSignalBlocker blocker(table);
    const QVariant indicated = table->item(row, IndicatedColumn)->data(IndicatedRole);
    bool ok = false;
    const VerificationPoint point{NumberText::toDouble(table->item(row, ReferenceColumn)->text(), &ok),
                                  indicated.toDouble()};
    const std::optional<double> error = point.errorPercent();
    const bool judged = indicated.isValid() && ok && error;
    table->item(row, IndicatedColumn)->setText(indicated.isValid() ? NumberText::force(point.indicated) : QString());
    table->item(row, ErrorColumn)->setText(judged ? NumberText::fixed(*error, ErrorDecimals) : QString());
    QTableWidgetItem *verdict = table->item(row, VerdictColumn);
    if (judged) {
        const bool within = VerificationRules::withinPermitted(point, m_setup.settings.permittedErrorPercent);
        verdict->setText(VerdictStyle::word(Verdicts::of(within)));
        verdict->setForeground(VerdictStyle::colour(Verdicts::of(within)));
        verdict->setData(WithinRole, within);
    } else {
        verdict->setText(QString());
        verdict->setData(WithinRole, QVariant());
    }
    showVerdicts();
}

bool VerifyMachineDialog::readPass(QTableWidget *table, VerificationPass *pass, QString *error) const
{
    const QString passName = table == ui->asLeftTable ? tr("as left") : tr("as found");
    for (int row = 0; row < table->rowCount(); ++row) {
        bool ok = false;
        const double reference = NumberText::toDouble(table->item(row, ReferenceColumn)->text(), &ok);
        const QVariant indicated = table->item(row, IndicatedColumn)->data(IndicatedRole);
        if (!ok || reference == 0 || !indicated.isValid()) {
            *error = tr("Point %1 %2 has no reference reading or has not been taken: take it or "
                        "remove it.")
                         .arg(row + 1)
                         .arg(passName);
            return false;
        }
        pass->force << VerificationPoint{reference, indicated.toDouble()};
    }
    if (pass->force.isEmpty()) {
        *error = tr("There is no point %1.").arg(passName);
        return false;
    }
    return true;
}

void VerifyMachineDialog::showVerdicts()
{
    QStringList lines;
    const bool adjusted = ui->adjustedCheckBox->isChecked();
    for (QTableWidget *table : {ui->asFoundTable, ui->asLeftTable}) {
        if (table == ui->asLeftTable && !adjusted)
            continue;
        const QString passName = table == ui->asLeftTable ? tr("As left") : tr("As found");
        int taken = 0;
        int failed = 0;
        for (int row = 0; row < table->rowCount(); ++row) {
            const QVariant within = table->item(row, VerdictColumn)->data(WithinRole);
            if (!within.isValid())
                continue;
            ++taken;
            if (!within.toBool())
                ++failed;
        }
        const int total = table->rowCount();
        if (failed > 0)
            lines << QStringLiteral("<span style='color:%1'>%2</span>")
                         .arg(VerdictStyle::colour(Verdict::Fail).name(), tr("%1: fail at %2 of %3 points").arg(passName).arg(failed).arg(total));
        else if (taken == total && total > 0)
            lines << QStringLiteral("<span style='color:%1'>%2</span>")
                         .arg(VerdictStyle::colour(Verdict::Pass).name(), tr("%1: pass, every point within the permitted error").arg(passName));
        else
            lines << tr("%1: %2 of %3 points taken").arg(passName).arg(taken).arg(total);
    }
    ui->verdictLabel->setText(lines.join(QStringLiteral("<br>")));
}

void VerifyMachineDialog::on_addPointButton_clicked()
{
    QTableWidget *table = currentTable();
    addRow(table, 0);
    table->setCurrentCell(table->rowCount() - 1, ReferenceColumn);
    table->editItem(table->item(table->rowCount() - 1, ReferenceColumn));
    showVerdicts();
}

void VerifyMachineDialog::on_removePointButton_clicked()
{
    QTableWidget *table = currentTable();
    if (table->currentRow() >= 0)
        table->removeRow(table->currentRow());
    showVerdicts();
}

void VerifyMachineDialog::on_adjustedCheckBox_toggled(bool checked)
{
    ui->passTabs->setTabEnabled(1, checked);
    if (checked && ui->asLeftTable->rowCount() == 0) {
        // The same points again, to be taken after the adjustment.
        for (int row = 0; row < ui->asFoundTable->rowCount(); ++row) {
            addRow(ui->asLeftTable, NumberText::toDouble(ui->asFoundTable->item(row, ReferenceColumn)->text()));
        }
        if (ui->asLeftTable->rowCount() > 0)
            ui->asLeftTable->setCurrentCell(0, ReferenceColumn);
    }
    ui->passTabs->setCurrentIndex(checked ? 1 : 0);
    showVerdicts();
}

void VerifyMachineDialog::on_buttonBox_accepted()
{
    auto refuse = [this](const QString &why) { QMessageBox::warning(this, tr("Verify Machine"), why); };
    MachineVerification v;
    v.station = m_setup.station;
    v.performedAt = QDateTime::currentDateTimeUtc();
    v.performedBy = ui->performedByEdit->text().trimmed();
    v.reference = {ui->referenceNameEdit->text().trimmed(), ui->certificateEdit->text().trimmed(),
                   ui->referenceDueEdit->date()};
    if (v.performedBy.isEmpty() || v.reference.name.isEmpty() || v.reference.certificate.isEmpty()) {
        refuse(tr("A verification names who made it and the reference instrument with its "
                  "certificate."));
        return;
    }
    v.permittedErrorPercent = m_setup.settings.permittedErrorPercent;
    QString error;
    if (!readPass(ui->asFoundTable, &v.asFound, &error)) {
        refuse(error);
        return;
    }
    v.asFoundVerdict = *VerificationRules::verdictOf(v.asFound, v.permittedErrorPercent);
    if (ui->adjustedCheckBox->isChecked()) {
        if (!readPass(ui->asLeftTable, &v.asLeft, &error)) {
            refuse(error);
            return;
        }
        v.asLeftVerdict = VerificationRules::verdictOf(v.asLeft, v.permittedErrorPercent);
    }
    v.nextDue = VerificationRules::nextDue(v.performedAt.toLocalTime().date(), m_setup.settings.intervalMonths);
    v.source = QStringLiteral("guided");
    if (!VerificationRules::validate(v, &error)) {
        refuse(error);
        return;
    }
    m_recorded = false;
    emit sendVerification(v);
    if (m_recorded)
        accept();
}

void VerifyMachineDialog::receiveRecorded()
{
    m_recorded = true;
}
