// The database log: one row per log entry in an attached table sink.
#pragma once

#include "log/NaploClock.h"
#include "log/TableSink.h"

#include <QString>

#include <memory>

namespace ardel {

class TDBNaplo {
public:
    explicit TDBNaplo(std::shared_ptr<TNaploClock> clock = {});
    virtual ~TDBNaplo();
    TDBNaplo(const TDBNaplo &) = delete;
    TDBNaplo &operator=(const TDBNaplo &) = delete;

    // The sink is not owned; whoever attaches it keeps it alive.
    TTableSink *DataSet() const { return m_dataSet; }
    void SetDataSet(TTableSink *dataSet) { m_dataSet = dataSet; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    qint32 MaxRecords() const { return m_maxRecords; }
    void SetMaxRecords(qint32 value) { m_maxRecords = value; }
    qint32 DefaultLevel() const { return m_defaultLevel; }
    void SetDefaultLevel(qint32 value) { m_defaultLevel = value; }
    qint32 MaxLevel() const { return m_maxLevel; }
    void SetMaxLevel(qint32 value) { m_maxLevel = value; }
    QString DefaultOwner() const { return m_defaultOwner; }
    void SetDefaultOwner(const QString &value) { m_defaultOwner = value; }

    // A sink is attached and active, and rows are enabled.
    bool CanWrite() const;
    // Records one row; an empty owner and level -1 take the defaults. Failures
    // of the sink are absorbed: the entry is simply not recorded.
    virtual void WriteRecord(const QString &text, const QString &owner, qint32 level);

private:
    std::shared_ptr<TNaploClock> m_clock;
    TTableSink *m_dataSet = nullptr;
    bool m_enabled = true;
    qint32 m_maxRecords = 10000;
    qint32 m_defaultLevel = 1;
    qint32 m_maxLevel = 20;
    QString m_defaultOwner = QStringLiteral("Default");
};

} // namespace ardel
