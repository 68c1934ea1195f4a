#pragma once

#include "records/schema.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

// The SQL of the schema description: the migrations' statements for each
// engine, and the names and statement shapes the store and the reading
// queries build from the column constants.
namespace SchemaSql {

enum class Dialect { SQLite, PostgreSQL };
Dialect dialectOf(const QSqlDatabase &db);

// A table or column name as a statement writes it: in double quotes when
// it is a reserved word ("operator"), plain otherwise. With an alias:
// t.part_number.
QString name(const char *identifier);
QString name(const Schema::Column &column, const QString &alias = QString());
// Names joined by ", ".
QString names(const QVector<Schema::Column> &columns, const QString &alias = QString());

// The statements of one migration step (0 makes version 1), in order.
QStringList migrationStatements(int step, Dialect dialect,
                                const QVector<Schema::Step> &steps = Schema::steps());
// CREATE TABLE (and its indexes) for a table as it stands.
QStringList createTable(const Schema::Table &table, Dialect dialect);

// Every column of a table as it stands now, for a SELECT.
QString selectList(const char *table, const QString &alias = QString());
// INSERT INTO the columns' table, `rows` rows of placeholders.
QString insertStatement(const QVector<Schema::Column> &columns, int rows = 1);
// UPDATE the columns' table SET each column = ? WHERE `condition`.
QString updateStatement(const QVector<Schema::Column> &columns, const QString &condition);

// The values of one row to write, by column, in the order they were set.
class Values
{
public:
    Values &set(const Schema::Column &column, const QVariant &value);
    const QVector<Schema::Column> &columns() const { return m_columns; }
    const QVariantList &values() const { return m_values; }
    // Prepares `statement` and binds the values, then `extra` after them.
    bool prepare(QSqlQuery *query, const QString &statement, const QVariantList &extra = {}) const;

private:
    QVector<Schema::Column> m_columns;
    QVariantList m_values;
};

// INSERTs one row of `values` and hands back the key the database numbered
// it with (the first column of its table, of Type::Key): RETURNING on
// PostgreSQL, the last insert id on SQLite. False with *error otherwise.
bool insertNumbered(const QSqlDatabase &db, const Values &values, qint64 *id, QSqlError *error);
bool insertNumbered(const QSqlDatabase &db, const Values &values, qint64 *id, QString *error);

// Runs `statement` forward only with `values` bound to its placeholders in
// order; false when it does not prepare or run (the query has the error).
bool exec(QSqlQuery *query, const QString &statement, const QVariantList &values = {});
// False, with the query's error (the database's own words) in *error when
// it is given: how the reading side reports a statement that failed.
bool failed(const QSqlQuery &query, QString *error);

// Reads a query's rows by column: the positions are looked up once.
class Row
{
public:
    explicit Row(const QSqlQuery &query);
    // -1 when the statement did not select the column.
    int index(const Schema::Column &column) const;
    QVariant value(const Schema::Column &column) const;

private:
    const QSqlQuery &m_query;
    QHash<QString, int> m_index;
};

} // namespace SchemaSql
