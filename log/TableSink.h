// The table that the database log appends its rows to.
#pragma once

#include <QDateTime>
#include <QString>

namespace ardel {

// A table with a current row. Every operation may fail: it then returns false
// (or throws); the database log absorbs both.
class TTableSink {
public:
    virtual ~TTableSink() = default;

    virtual bool IsActive() = 0;
    // Moves to the last row (an empty table has none; that is no failure).
    virtual bool Last() = 0;
    // Starts a new row and makes it the current one; Post stores it.
    virtual bool Append() = 0;
    // Set a field of the current row, looked up by name.
    virtual bool SetDateTime(const QString &field, const QDateTime &value) = 0;
    virtual bool SetText(const QString &field, const QString &value) = 0;
    virtual bool SetInteger(const QString &field, qint32 value) = 0;
    virtual bool Post() = 0;
    virtual bool RecordCount(qint64 &count) = 0;
    virtual bool First() = 0;
    // Deletes the current row.
    virtual bool Delete() = 0;
};

} // namespace ardel
