#include "records/schemasql.h"

#include <QSqlError>
#include <QSqlRecord>

#include <cstring>

using namespace Schema;

namespace {

// Words either engine reserves that a column might be named after; such a
// name is written in double quotes. Other names stay plain, so that SQLite
// never takes a mistyped quoted name for a string.
const char *const ReservedWords[] = {
    "all", "and", "any", "array", "as", "asc", "both", "case", "cast", "check", "collate",
    "column", "constraint", "create", "default", "desc", "distinct", "do", "else", "end",
    "except", "false", "fetch", "for", "foreign", "from", "grant", "group", "having", "in",
    "index", "into", "is", "join", "key", "limit", "not", "null", "offset", "on", "only",
    "operator", "or", "order", "primary", "references", "returning", "select", "table", "then",
    "to", "true", "union", "unique", "user", "using", "values", "when", "where", "window", "with",
};

// A table rebuilt on SQLite is first made under this name.
const char RebuildSuffix[] = "_rebuilt";

QString literal(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::QString: {
        QString text = value.toString();
        text.replace(QLatin1Char('\''), QLatin1String("''"));
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    default:
        return value.toString();
    }
}

QString typeText(Type type, SchemaSql::Dialect dialect)
{
    const bool postgres = dialect == SchemaSql::Dialect::PostgreSQL;
    switch (type) {
    case Type::Key:
        return postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                        : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    case Type::Integer:
        return QStringLiteral("INTEGER");
    case Type::Real:
        return postgres ? QStringLiteral("DOUBLE PRECISION") : QStringLiteral("REAL");
    case Type::Text:
        break;
    }
    return QStringLiteral("TEXT");
}

QString checkText(const Column &column, const QVariantList &allowed)
{
    QStringList values;
    for (const QVariant &value : allowed)
        values << literal(value);
    return QStringLiteral("CHECK (%1 IN (%2))")
        .arg(SchemaSql::name(column), values.join(QStringLiteral(", ")));
}

// PostgreSQL's own name for a column's CHECK, which ALTER TABLE needs.
QString checkConstraintName(const Column &column)
{
    return QStringLiteral("%1_%2_check").arg(QLatin1String(column.table), column.nameText());
}

QString columnText(const ColumnDefinition &c, SchemaSql::Dialect dialect)
{
    QString text = SchemaSql::name(c.column) + QLatin1Char(' ') + typeText(c.type, dialect);
    if (c.type == Type::Key)
        return text;
    if (!c.nullable)
        text += QStringLiteral(" NOT NULL");
    if (!c.defaultValue.isNull())
        text += QStringLiteral(" DEFAULT ") + literal(c.defaultValue);
    if (!c.allowed.isEmpty())
        text += QLatin1Char(' ') + checkText(c.column, c.allowed);
    if (c.references.isValid()) {
        text += QStringLiteral(" REFERENCES %1 (%2) ON DELETE CASCADE")
                    .arg(SchemaSql::name(c.references.table), SchemaSql::name(c.references));
    }
    return text;
}

QString createTableText(const Table &table, const QString &tableName, SchemaSql::Dialect dialect)
{
    QStringList parts;
    for (const ColumnDefinition &column : table.columns)
        parts << columnText(column, dialect);
    if (!table.primaryKey.isEmpty())
        parts << QStringLiteral("PRIMARY KEY (%1)").arg(SchemaSql::names(table.primaryKey));
    QString text = QStringLiteral("CREATE TABLE %1 (%2)").arg(tableName, parts.join(QStringLiteral(", ")));
    if (table.keyOnly && dialect == SchemaSql::Dialect::SQLite)
        text += QStringLiteral(" WITHOUT ROWID");
    return text;
}

QString createIndexText(const Index &index)
{
    return QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
        .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(), SchemaSql::name(qPrintable(index.name)),
             SchemaSql::name(index.table), SchemaSql::names(index.columns));
}

const Table *findTable(const QVector<Table> &tables, const char *name)
{
    for (const Table &table : tables) {
        if (std::strcmp(table.name, name) == 0)
            return &table;
    }
    return nullptr;
}

// SQLite cannot change a column's CHECK: the table is made again under
// its new definition and its rows copied over (SQLite's own procedure, with
// foreign keys off for the migration), its indexes made again and its ids
// kept counting where they were.
QStringList rebuildOnSqlite(const Table &table)
{
    const QString tableName = SchemaSql::name(table.name);
    const QString rebuilt = SchemaSql::name(qPrintable(QLatin1String(table.name) + QLatin1String(RebuildSuffix)));
    const QString columns = SchemaSql::names(table.columnNames());
    QStringList statements{
        createTableText(table, rebuilt, SchemaSql::Dialect::SQLite),
        QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(rebuilt, columns, tableName),
    };
    const bool numbered = !table.columns.isEmpty() && table.columns.first().type == Type::Key;
    if (numbered) {
        statements << QStringLiteral("DELETE FROM sqlite_sequence WHERE name = '%1%2'")
                          .arg(QLatin1String(table.name), QLatin1String(RebuildSuffix))
                   << QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT '%1%2', seq "
                                     "FROM sqlite_sequence WHERE name = '%1'")
                          .arg(QLatin1String(table.name), QLatin1String(RebuildSuffix));
    }
    statements << QStringLiteral("DROP TABLE %1").arg(tableName)
               << QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(rebuilt, tableName);
    for (const Index &index : table.indexes)
        statements << createIndexText(index);
    return statements;
}

// The statements of one change; `after` holds the tables with the change
// made.
QStringList changeStatements(const Change &change, const QVector<Table> &after, SchemaSql::Dialect dialect)
{
    const bool postgres = dialect == SchemaSql::Dialect::PostgreSQL;
    switch (change.kind) {
    case Change::CreateTable:
        return {createTableText(change.table, SchemaSql::name(change.table.name), dialect)};
    case Change::AddColumn:
        return {QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                    .arg(SchemaSql::name(change.column.column.table), columnText(change.column, dialect))};
    case Change::CreateIndex:
        return {createIndexText(change.index)};
    case Change::DropIndex:
        return {QStringLiteral("DROP INDEX IF EXISTS %1").arg(SchemaSql::name(qPrintable(change.index.name)))};
    case Change::AllowValues: {
        const Column &column = change.column.column;
        if (!postgres)
            return rebuildOnSqlite(*findTable(after, column.table));
        const QString constraint = checkConstraintName(column);
        return {QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT IF EXISTS %2, ADD CONSTRAINT %2 %3")
                    .arg(SchemaSql::name(column.table), constraint, checkText(column, change.column.allowed))};
    }
    case Change::Statement: {
        const QString &statement = postgres ? change.postgres : change.sqlite;
        return statement.isEmpty() ? QStringList() : QStringList{statement};
    }
    }
    return {};
}

} // namespace

namespace SchemaSql {

Dialect dialectOf(const QSqlDatabase &db)
{
    return db.driverName() == QLatin1String("QPSQL") ? Dialect::PostgreSQL : Dialect::SQLite;
}

QString name(const char *identifier)
{
    for (const char *word : ReservedWords) {
        if (std::strcmp(word, identifier) == 0)
            return QLatin1Char('"') + QLatin1String(identifier) + QLatin1Char('"');
    }
    return QLatin1String(identifier);
}

QString name(const Column &column, const QString &alias)
{
    const QString plain = name(column.name);
    return alias.isEmpty() ? plain : alias + QLatin1Char('.') + plain;
}

QString names(const QVector<Column> &columns, const QString &alias)
{
    QStringList list;
    list.reserve(columns.size());
    for (const Column &column : columns)
        list << name(column, alias);
    return list.join(QStringLiteral(", "));
}

QStringList migrationStatements(int step, Dialect dialect, const QVector<Step> &steps)
{
    QVector<Table> tables = tablesAt(step, steps);
    QStringList statements;
    for (const Change &change : steps.at(step)) {
        apply(change, &tables);
        statements += changeStatements(change, tables, dialect);
    }
    return statements;
}

QStringList createTable(const Table &table, Dialect dialect)
{
    QStringList statements{createTableText(table, name(table.name), dialect)};
    for (const Index &index : table.indexes)
        statements << createIndexText(index);
    return statements;
}

QString selectList(const char *tableName, const QString &alias)
{
    return names(table(tableName).columnNames(), alias);
}

QString insertStatement(const QVector<Column> &columns, int rows)
{
    Q_ASSERT(!columns.isEmpty());
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    const QString row = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
    QStringList allRows;
    allRows.reserve(rows);
    for (int i = 0; i < rows; ++i)
        allRows << row;
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(name(columns.first().table), names(columns), allRows.join(QLatin1Char(',')));
}

QString updateStatement(const QVector<Column> &columns, const QString &condition)
{
    Q_ASSERT(!columns.isEmpty());
    QStringList assignments;
    for (const Column &column : columns)
        assignments << name(column) + QStringLiteral(" = ?");
    return QStringLiteral("UPDATE %1 SET %2 WHERE %3")
        .arg(name(columns.first().table), assignments.join(QStringLiteral(", ")), condition);
}

Values &Values::set(const Column &column, const QVariant &value)
{
    m_columns.append(column);
    m_values.append(value);
    return *this;
}

bool Values::prepare(QSqlQuery *query, const QString &statement, const QVariantList &extra) const
{
    if (!query->prepare(statement))
        return false;
    for (const QVariant &value : m_values)
        query->addBindValue(value);
    for (const QVariant &value : extra)
        query->addBindValue(value);
    return true;
}

bool insertNumbered(const QSqlDatabase &db, const Values &values, qint64 *id, QSqlError *error)
{
    const bool postgres = dialectOf(db) == Dialect::PostgreSQL;
    const Table &inserted = table(values.columns().first().table);
    QString statement = insertStatement(values.columns());
    if (postgres)
        statement += QStringLiteral(" RETURNING ") + name(inserted.columns.first().column);
    QSqlQuery query(db);
    if (!values.prepare(&query, statement) || !query.exec()) {
        *error = query.lastError();
        return false;
    }
    const QVariant key = postgres ? (query.next() ? query.value(0) : QVariant()) : query.lastInsertId();
    if (!key.isValid()) {
        *error = QSqlError(QStringLiteral("no id for the new row of %1").arg(QLatin1String(inserted.name)),
                           QString(), QSqlError::StatementError);
        return false;
    }
    *id = key.toLongLong();
    return true;
}

bool insertNumbered(const QSqlDatabase &db, const Values &values, qint64 *id, QString *error)
{
    QSqlError failure;
    if (insertNumbered(db, values, id, &failure))
        return true;
    *error = failure.text();
    return false;
}

bool exec(QSqlQuery *query, const QString &statement, const QVariantList &values)
{
    query->setForwardOnly(true);
    if (!query->prepare(statement))
        return false;
    for (const QVariant &value : values)
        query->addBindValue(value);
    return query->exec();
}

bool failed(const QSqlQuery &query, QString *error)
{
    if (error)
        *error = query.lastError().text();
    return false;
}

Row::Row(const QSqlQuery &query)
    : m_query(query)
{
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        m_index.insert(record.fieldName(i), i);
}

int Row::index(const Column &column) const
{
    return m_index.value(column.nameText(), -1);
}

QVariant Row::value(const Column &column) const
{
    const int i = index(column);
    Q_ASSERT_X(i >= 0, "SchemaSql::Row", column.name);
    return i >= 0 ? m_query.value(i) : QVariant();
}

} // namespace SchemaSql
