#include "results/programdialog.h"
#include "ui_programdialog.h"

#include "numbers/numbertext.h"
#include "widgets/widgetfit.h"

#include <QMessageBox>

namespace {

enum Column { DistanceColumn, ForceColumn, LowerColumn, UpperColumn, ToleranceColumn, ColumnCount };

double TestPoint::*const ColumnField[ColumnCount] = {&TestPoint::distance, &TestPoint::force,
                                                     &TestPoint::lower, &TestPoint::upper,
                                                     &TestPoint::tolerancePercent};

// Enough digits that a value read from a file comes back unchanged.
QString cellText(double value)
{
    return QString::number(value, 'g', 15);
}

} // namespace

ProgramDialog::ProgramDialog(const TestProgram &program, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ProgramDialog)
    , m_original(program)
{
    ui->setupUi(this);
    ui->numberSpinBox->setValue(program.number);
    ui->speedSpinBox->setValue(program.speed);
    ui->pointsTable->setRowCount(TestProgram::MaxPoints);
    for (int row = 0; row < TestProgram::MaxPoints; ++row) {
        const TestPoint point = program.points.value(row);
        for (int column = 0; column < ColumnCount; ++column) {
            ui->pointsTable->setItem(row, column,
                                     new QTableWidgetItem(cellText(point.*ColumnField[column])));
        }
    }
    ui->freeLengthSpinBox->setValue(program.spring.freeLength);
    ui->meanDiameterSpinBox->setValue(program.spring.meanDiameter);
    ui->wireDiameterSpinBox->setValue(program.spring.wireDiameter);
    ui->effectiveCoilsSpinBox->setValue(program.spring.effectiveCoils);
    ui->rateSpinBox->setValue(program.spring.rate);

    fitColumns();
    connect(ui->pointsTable, &QTableWidget::itemChanged, this, &ProgramDialog::fitColumns);
    WidgetFit::fit(this);
}

// Room for a 200.00 mm distance and five-digit forces with their decimals,
// and for whatever is typed.
void ProgramDialog::fitColumns()
{
    const QString distance = WidgetFit::digits(3, NumberText::DistanceDecimals);
    const QString force = WidgetFit::digits(5, forceDecimals);
    WidgetFit::fitColumns(ui->pointsTable,
                          {distance, force, force, force, WidgetFit::digits(3, 0, false)});
}

ProgramDialog::~ProgramDialog()
{
    delete ui;
}

bool ProgramDialog::readProgram(TestProgram *program)
{
    TestProgram read = m_original;
    read.number = ui->numberSpinBox->value();
    read.speed = ui->speedSpinBox->value();
    read.points.clear();
    int lastUsed = -1;
    for (int row = 0; row < TestProgram::MaxPoints; ++row) {
        TestPoint point = m_original.points.value(row);
        for (int column = 0; column < ColumnCount; ++column) {
            const QTableWidgetItem *item = ui->pointsTable->item(row, column);
            const QString text = item ? item->text().trimmed() : QString();
            bool ok = true;
            const double value = text.isEmpty() ? 0 : NumberText::toDouble(text, &ok);
            if (!ok) {
                QMessageBox::warning(this, tr("Program"),
                                     tr("Test point %1: \"%2\" is not a number.").arg(row + 1).arg(text));
                ui->pointsTable->setCurrentCell(row, column);
                return false;
            }
            point.*ColumnField[column] = value;
        }
        read.points.append(point);
        if (point.isUsed() || !point.otherKeys.isEmpty() || row < m_original.points.size())
            lastUsed = row;
    }
    // Empty rows after the last used one are no points of the file.
    read.points.resize(lastUsed + 1);
    read.spring.freeLength = ui->freeLengthSpinBox->value();
    read.spring.meanDiameter = ui->meanDiameterSpinBox->value();
    read.spring.wireDiameter = ui->wireDiameterSpinBox->value();
    read.spring.effectiveCoils = ui->effectiveCoilsSpinBox->value();
    read.spring.rate = ui->rateSpinBox->value();
    *program = read;
    return true;
}

void ProgramDialog::accept()
{
    TestProgram program;
    if (!readProgram(&program))
        return;
    emit sendProgram(program);
    QDialog::accept();
}
