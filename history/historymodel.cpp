#include "history/historymodel.h"

#include "records/review.h"

#include "numbers/numbertext.h"
#include "records/recordqueries.h"
#include "widgets/verdictstyle.h"

#include <QBrush>
#include <QFont>
#include <QColor>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

using namespace RecordQueries;


HistoryModel::HistoryModel(QObject *parent)
    : QSqlQueryModel(parent)
{
}

bool HistoryModel::select(const QSqlDatabase &db, const HistoryFilter &filter, QString *error)
{
    const SqlCondition condition = sqlCondition(filter);
    QSqlQuery query(db);
    query.prepare(historyStatement(condition));
    for (const QVariant &value : condition.values)
        query.addBindValue(value);
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        clear();
        return false;
    }
    setQuery(query);
    return true;
}

qint64 HistoryModel::testId(int row) const
{
    return QSqlQueryModel::data(index(row, ColumnId)).toLongLong();
}

QString HistoryModel::statusText(const QString &status)
{
    if (status == QLatin1String("running"))
        return tr("running");
    if (status == QLatin1String("complete"))
        return tr("complete");
    if (status == QLatin1String("interrupted"))
        return tr("interrupted");
    return status;
}

QString HistoryModel::amendedText(int amendments)
{
    return tr("amended (%n)", nullptr, amendments);
}

// "approved|2026-12-09T08:01:02.000Z|rita", and how many signatures there are.
QString HistoryModel::signatureText(const QString &latest, int count)
{
    const QString meaning = latest.section(QLatin1Char('|'), 0, 0);
    const QDateTime at =
        QDateTime::fromString(latest.section(QLatin1Char('|'), 1, 1), Qt::ISODateWithMs).toLocalTime();
    const QString signer = latest.section(QLatin1Char('|'), 2);
    const QString text = tr("%1 by %2, %3")
                             .arg(RecordsReview::meaningText(meaning), signer,
                                  at.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    return count > 1 ? tr("%1 (+%2)").arg(text).arg(count - 1) : text;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    const QVariant raw = QSqlQueryModel::data(index, Qt::DisplayRole);
    switch (index.column()) {
    case ColumnStartedAt:
        if (role == Qt::DisplayRole) {
            const QDateTime time = QDateTime::fromString(raw.toString(), Qt::ISODateWithMs);
            return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
        break;
    case ColumnStatus:
        if (role == Qt::DisplayRole) {
            // A corrected record says so where its state is read.
            const int amended = QSqlQueryModel::data(this->index(index.row(), ColumnAmended)).toInt();
            return amended > 0 ? tr("%1, %2").arg(statusText(raw.toString()), amendedText(amended))
                               : statusText(raw.toString());
        }
        break;
    case ColumnVerdict:
        // NULL: the test was not judged.
        if (const std::optional<Verdict> verdict = Verdicts::fromKey(raw.toString())) {
            if (role == Qt::DisplayRole)
                return VerdictStyle::headline(*verdict);
            if (role == Qt::ForegroundRole)
                return QBrush(VerdictStyle::colour(*verdict));
        } else if (role == Qt::DisplayRole) {
            return QString();
        }
        break;
    case ColumnMaxForce:
        if (role == Qt::DisplayRole) {
            if (raw.isNull())
                return QString();
            const int decimals =
                QSqlQueryModel::data(this->index(index.row(), ColumnForceDecimals)).toInt();
            return NumberText::fixed(raw.toDouble(), decimals);
        }
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case ColumnPartNumber:
    case ColumnBatch:
    case ColumnSerialNumber: {
        // The value now; that a reviewer corrected it shows.
        const int amended = QSqlQueryModel::data(this->index(index.row(), ColumnAmended)).toInt();
        if (amended > 0 && role == Qt::FontRole) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        if (amended > 0 && role == Qt::ToolTipRole)
            return amendedText(amended);
        break;
    }
    case ColumnSignatures:
        if (role == Qt::DisplayRole && !raw.isNull()) {
            const int count = QSqlQueryModel::data(this->index(index.row(), ColumnSignatureCount)).toInt();
            return signatureText(raw.toString(), count);
        }
        break;
    case ColumnId:
    case ColumnProgramNumber:
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    default:
        break;
    }
    return QSqlQueryModel::data(index, role);
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QSqlQueryModel::headerData(section, orientation, role);
    switch (section) {
    case ColumnId: return tr("No.");
    case ColumnStartedAt: return tr("Started");
    case ColumnStatus: return tr("Status");
    case ColumnOperator: return tr("Operator");
    case ColumnPartNumber: return tr("Part number");
    case ColumnBatch: return tr("Batch");
    case ColumnSerialNumber: return tr("Serial number");
    case ColumnProgramNumber: return tr("Program");
    case ColumnVerdict: return tr("Verdict");
    case ColumnMaxForce: return tr("Max. force (N)");
    case ColumnSignatures: return tr("Signed");
    default: return QString();
    }
}
