#pragma once

#include "records/historyfilter.h"
#include "records/testrecord.h"

#include <QAbstractTableModel>
#include <QSqlDatabase>
#include <QVector>

// The tests a filter selects, newest first, straight from the database: a
// page of rows at a time as the view scrolls to them, so that a lab's
// million tests open as fast as a bench's hundred. Times are shown in local
// time, verdicts and statuses in the operator's language.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Rows read at a time: more than a window shows, few enough to read at once.
    static constexpr int PageRows = 500;

    explicit HistoryModel(QObject *parent = nullptr);

    // Reads the filter's first page; false with *error when the database
    // refuses (the list is then empty).
    bool select(const QSqlDatabase &db, const HistoryFilter &filter, QString *error);
    qint64 testId(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    static QString verdictText(const QString &verdict);
    static QString statusText(const QString &status);
    static QString amendedText(int amendments);
    // "3.2 s, 12.00–12.40 mm": how long the tester did not answer during a
    // test, and where on the curve.
    static QString lineGapText(const LineGap &gap);
    static QString signatureText(const QString &latest, int count);

private:
    // The page after the last row read (the first when none is); false
    // with *error.
    bool readPage(QVector<QVector<QVariant>> *page, QString *error);
    QVariant raw(int row, int column) const;

    QSqlDatabase m_db;
    SqlCondition m_condition;
    QVector<QVector<QVariant>> m_rows;
    bool m_more = false; // the last page was full: there may be more
};
