#pragma once

#include "records/historyfilter.h"

#include <QSqlDatabase>
#include <QSqlQueryModel>

// The tests a filter selects, newest first, straight from the database:
// rows are fetched as the view scrolls to them, so thousands of tests open
// without a pause. Times are shown in local time, verdicts and statuses in
// the operator's language.
class HistoryModel : public QSqlQueryModel
{
    Q_OBJECT

public:
    explicit HistoryModel(QObject *parent = nullptr);

    // Runs the filter's query; false with *error when the database refuses.
    bool select(const QSqlDatabase &db, const HistoryFilter &filter, QString *error);
    qint64 testId(int row) const;

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    static QString statusText(const QString &status);
    static QString amendedText(int amendments);
    static QString signatureText(const QString &latest, int count);
};
