#include "history/historymodel.h"

#include "records/review.h"

#include "numbers/numbertext.h"
#include "records/recordqueries.h"
#include "records/schemasql.h"
#include "widgets/verdictstyle.h"

#include <QBrush>
#include <QFont>
#include <QColor>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

using namespace RecordQueries;

namespace {

// A gap's length is known to the worker's polling, a tenth of a second.
constexpr int GapSecondsDecimals = 1;

} // namespace

HistoryModel::HistoryModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

bool HistoryModel::select(const QSqlDatabase &db, const HistoryFilter &filter, QString *error)
{
    beginResetModel();
    m_db = db;
    m_condition = sqlCondition(filter);
    m_rows.clear();
    const bool read = readPage(&m_rows, error);
    endResetModel();
    return read;
}

bool HistoryModel::readPage(QVector<QVector<QVariant>> *page, QString *error)
{
    page->clear();
    QVariantList values = m_condition.values;
    const bool after = !m_rows.isEmpty();
    if (after) {
        const QVector<QVariant> &last = m_rows.constLast();
        values << last.at(ColumnStartedAt) << last.at(ColumnStartedAt) << last.at(ColumnId);
    }
    QSqlQuery query(m_db);
    m_more = false;
    if (!SchemaSql::exec(&query, historyPage(m_condition, PageRows, after), values))
        return SchemaSql::failed(query, error);
    while (query.next()) {
        QVector<QVariant> row(ColumnCount);
        for (int column = 0; column < ColumnCount; ++column)
            row[column] = query.value(column);
        page->append(row);
    }
    m_more = page->size() == PageRows;
    return true;
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

bool HistoryModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_more;
}

void HistoryModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    // A page that cannot be read ends the list where it is.
    QVector<QVector<QVariant>> page;
    if (!readPage(&page, nullptr) || page.isEmpty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + int(page.size()) - 1);
    m_rows += page;
    endInsertRows();
}

QVariant HistoryModel::raw(int row, int column) const
{
    return row >= 0 && row < m_rows.size() && column >= 0 && column < ColumnCount ? m_rows.at(row).at(column)
                                                                                 : QVariant();
}

qint64 HistoryModel::testId(int row) const
{
    return raw(row, ColumnId).toLongLong();
}

QString HistoryModel::statusText(const QString &status)
{
    if (status == TestStatus::Running)
        return tr("running");
    if (status == TestStatus::Complete)
        return tr("complete");
    if (status == TestStatus::Interrupted)
        return tr("interrupted");
    if (status == TestStatus::Aborted)
        return tr("aborted");
    return status;
}

QString HistoryModel::lineGapText(const LineGap &gap)
{
    const QString seconds = tr("%1 s").arg(NumberText::fixed(gap.seconds, GapSecondsDecimals));
    if (!gap.fromDistance || !gap.toDistance)
        return seconds;
    return tr("%1, %2–%3 mm")
        .arg(seconds, NumberText::distance(*gap.fromDistance), NumberText::distance(*gap.toDistance));
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
    if (!index.isValid())
        return QVariant();
    const QVariant raw = this->raw(index.row(), index.column());
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
            const int amended = this->raw(index.row(), ColumnAmended).toInt();
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
                this->raw(index.row(), ColumnForceDecimals).toInt();
            return NumberText::fixed(raw.toDouble(), decimals);
        }
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case ColumnPartNumber:
    case ColumnBatch:
    case ColumnSerialNumber: {
        // The value now; that a reviewer corrected it shows.
        const int amended = this->raw(index.row(), ColumnAmended).toInt();
        if (amended > 0 && role == Qt::FontRole) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        if (amended > 0 && role == Qt::ToolTipRole)
            return amendedText(amended);
        break;
    }
    case ColumnLineGap:
        if (role == Qt::DisplayRole && !raw.isNull()) {
            auto distance = [this, &index](int column) {
                const QVariant value = this->raw(index.row(), column);
                return value.isNull() ? std::nullopt : std::optional<double>(value.toDouble());
            };
            return lineGapText(LineGap{raw.toDouble(), distance(ColumnGapFrom), distance(ColumnGapTo)});
        }
        break;
    case ColumnSignatures:
        if (role == Qt::DisplayRole && !raw.isNull()) {
            const int count = this->raw(index.row(), ColumnSignatureCount).toInt();
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
    return role == Qt::DisplayRole || role == Qt::EditRole ? raw : QVariant();
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
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
    case ColumnLineGap: return tr("Line gap");
    case ColumnSignatures: return tr("Signed");
    default: return QString();
    }
}
