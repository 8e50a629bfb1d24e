// A table sink for the database log on an SQLite database (Qt's QSQLITE driver).
#pragma once

#include "log/TableSink.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

namespace ardel {

class TSqliteTableSink final : public TTableSink {
public:
    // tableName is created with the five log fields when it is missing.
    explicit TSqliteTableSink(QString tableName = QStringLiteral("Naplo"));
    ~TSqliteTableSink() override;
    TSqliteTableSink(const TSqliteTableSink &) = delete;
    TSqliteTableSink &operator=(const TSqliteTableSink &) = delete;

    // databaseFile may be ":memory:". Returns false (and stays inactive) on failure.
    bool Open(const QString &databaseFile);
    void Close();
    QString LastError() const { return m_lastError; }
    QString ConnectionName() const { return m_connectionName; }
    QString TableName() const { return m_table; }
    // The connection, for whoever wants to read the rows.
    QSqlDatabase Database() const;

    bool IsActive() override;
    bool Last() override;
    bool Append() override;
    bool SetDateTime(const QString &field, const QDateTime &value) override;
    bool SetText(const QString &field, const QString &value) override;
    bool SetInteger(const QString &field, qint32 value) override;
    bool Post() override;
    bool RecordCount(qint64 &count) override;
    bool First() override;
    bool Delete() override;

private:
    enum class Kind { Date, Time, DateTime, Text, Integer, Other };
    struct Column {
        QString name;
        Kind kind = Kind::Other;
    };

    bool Fail(const QString &what);
    const Column *FindColumn(const QString &field) const;
    bool SetValue(const QString &field, const QVariant &value);
    bool MoveTo(const char *aggregate);
    QString QuotedTable() const;

    QString m_table;
    QString m_connectionName;
    QString m_lastError;
    bool m_active = false;
    QList<Column> m_columns;
    qint64 m_current = -1;          // rowid of the current row, -1 when none
    bool m_appending = false;       // a new row is being filled
    QHash<QString, QVariant> m_row; // its values by column name
};

} // namespace ardel
