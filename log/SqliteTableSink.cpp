#include "log/SqliteTableSink.h"

#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace ardel {

namespace {

QString QuoteIdentifier(const QString &name)
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString NewConnectionName()
{
    static std::atomic<quint64> counter{0};
    for (;;) {
        const QString name = QStringLiteral("ardel-dblog-%1").arg(++counter);
        if (!QSqlDatabase::contains(name))
            return name;
    }
}

} // namespace

TSqliteTableSink::TSqliteTableSink(QString tableName) : m_table(std::move(tableName)), m_connectionName(NewConnectionName())
{
}

TSqliteTableSink::~TSqliteTableSink()
{
    Close();
}

QSqlDatabase TSqliteTableSink::Database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

QString TSqliteTableSink::QuotedTable() const
{
    return QuoteIdentifier(m_table);
}

bool TSqliteTableSink::Fail(const QString &what)
{
    m_lastError = what;
    return false;
}

bool TSqliteTableSink::Open(const QString &databaseFile)
{
    Close();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(databaseFile);
        if (!db.open())
            return Fail(db.lastError().text());

        QSqlQuery create(db);
        const QString sql =
            QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Datum DATE, Ido TIME, Tul TEXT, Szint INTEGER, Szoveg TEXT)")
                .arg(QuotedTable());
        if (!create.exec(sql))
            return Fail(create.lastError().text());

        QSqlQuery info(db);
        if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QuotedTable())))
            return Fail(info.lastError().text());
        m_columns.clear();
        while (info.next()) {
            Column column;
            column.name = info.value(1).toString();
            const QString type = info.value(2).toString().toUpper();
            if (type == QLatin1String("DATE"))
                column.kind = Kind::Date;
            else if (type == QLatin1String("TIME"))
                column.kind = Kind::Time;
            else if (type.contains(QLatin1String("DATE")) || type.contains(QLatin1String("TIME")))
                column.kind = Kind::DateTime;
            else if (type.contains(QLatin1String("INT")))
                column.kind = Kind::Integer;
            else if (type.contains(QLatin1String("TEXT")) || type.contains(QLatin1String("CHAR")))
                column.kind = Kind::Text;
            m_columns.append(column);
        }
    }
    m_active = !m_columns.isEmpty();
    return m_active || Fail(QStringLiteral("table has no columns"));
}

void TSqliteTableSink::Close()
{
    m_active = false;
    m_columns.clear();
    m_current = -1;
    m_appending = false;
    m_row.clear();
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool TSqliteTableSink::IsActive()
{
    return m_active && Database().isOpen();
}

const TSqliteTableSink::Column *TSqliteTableSink::FindColumn(const QString &field) const
{
    for (const Column &column : m_columns) {
        if (column.name.compare(field, Qt::CaseInsensitive) == 0)
            return &column;
    }
    return nullptr;
}

bool TSqliteTableSink::MoveTo(const char *aggregate)
{
    if (!IsActive())
        return Fail(QStringLiteral("not active"));
    // Leaving a row that was never posted drops it.
    m_appending = false;
    m_row.clear();
    QSqlQuery query(Database());
    if (!query.exec(QStringLiteral("SELECT %1(rowid) FROM %2").arg(QLatin1String(aggregate), QuotedTable())) || !query.next())
        return Fail(query.lastError().text());
    m_current = query.value(0).isNull() ? -1 : query.value(0).toLongLong();
    return true;
}

bool TSqliteTableSink::Last()
{
    return MoveTo("max");
}

bool TSqliteTableSink::First()
{
    return MoveTo("min");
}

bool TSqliteTableSink::Append()
{
    if (!IsActive())
        return Fail(QStringLiteral("not active"));
    m_appending = true;
    m_row.clear();
    return true;
}

bool TSqliteTableSink::SetValue(const QString &field, const QVariant &value)
{
    if (!m_appending)
        return Fail(QStringLiteral("no row being appended"));
    const Column *column = FindColumn(field);
    if (!column)
        return Fail(QStringLiteral("no field %1").arg(field));
    m_row.insert(column->name, value);
    return true;
}

bool TSqliteTableSink::SetDateTime(const QString &field, const QDateTime &value)
{
    const Column *column = FindColumn(field);
    if (!column)
        return Fail(QStringLiteral("no field %1").arg(field));
    switch (column->kind) {
    case Kind::Date:
        return SetValue(field, value.date().toString(Qt::ISODate));
    case Kind::Time:
        return SetValue(field, value.time().toString(QStringLiteral("HH:mm:ss.zzz")));
    default:
        return SetValue(field, value.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")));
    }
}

bool TSqliteTableSink::SetText(const QString &field, const QString &value)
{
    return SetValue(field, value);
}

bool TSqliteTableSink::SetInteger(const QString &field, qint32 value)
{
    return SetValue(field, value);
}

bool TSqliteTableSink::Post()
{
    if (!IsActive())
        return Fail(QStringLiteral("not active"));
    if (!m_appending)
        return Fail(QStringLiteral("no row being appended"));
    QStringList names;
    QStringList marks;
    for (auto it = m_row.cbegin(); it != m_row.cend(); ++it) {
        names.append(QuoteIdentifier(it.key()));
        marks.append(QStringLiteral("?"));
    }
    QSqlQuery query(Database());
    const QString sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(QuotedTable())
                                        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                              .arg(QuotedTable(), names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    if (!query.prepare(sql))
        return Fail(query.lastError().text());
    for (auto it = m_row.cbegin(); it != m_row.cend(); ++it)
        query.addBindValue(it.value());
    if (!query.exec())
        return Fail(query.lastError().text());
    m_appending = false;
    m_row.clear();
    m_current = query.lastInsertId().isValid() ? query.lastInsertId().toLongLong() : -1;
    return true;
}

bool TSqliteTableSink::RecordCount(qint64 &count)
{
    if (!IsActive())
        return Fail(QStringLiteral("not active"));
    QSqlQuery query(Database());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QuotedTable())) || !query.next())
        return Fail(query.lastError().text());
    count = query.value(0).toLongLong();
    return true;
}

bool TSqliteTableSink::Delete()
{
    if (!IsActive())
        return Fail(QStringLiteral("not active"));
    if (m_appending || m_current < 0)
        return Fail(QStringLiteral("no current row"));
    QSqlQuery query(Database());
    if (!query.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(QuotedTable())))
        return Fail(query.lastError().text());
    query.addBindValue(m_current);
    if (!query.exec())
        return Fail(query.lastError().text());
    // Like any table cursor: the row after the deleted one becomes current.
    QSqlQuery next(Database());
    if (next.prepare(QStringLiteral("SELECT min(rowid) FROM %1 WHERE rowid > ?").arg(QuotedTable()))) {
        next.addBindValue(m_current);
        if (next.exec() && next.next() && !next.value(0).isNull()) {
            m_current = next.value(0).toLongLong();
            return true;
        }
    }
    m_current = -1;
    return true;
}

} // namespace ardel
