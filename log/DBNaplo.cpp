#include "log/DBNaplo.h"

namespace ardel {

TDBNaplo::TDBNaplo(std::shared_ptr<TNaploClock> clock) : m_clock(clock ? std::move(clock) : SystemNaploClock())
{
}

TDBNaplo::~TDBNaplo() = default;

bool TDBNaplo::CanWrite() const
{
    if (!m_dataSet || !m_enabled)
        return false;
    try {
        return m_dataSet->IsActive();
    } catch (...) {
        return false;
    }
}

void TDBNaplo::WriteRecord(const QString &text, const QString &owner, qint32 level)
{
    try {
        if (!CanWrite())
            return;
        if (level > m_maxLevel)
            return;
        const QString rowOwner = owner.isEmpty() ? m_defaultOwner : owner;
        const qint32 rowLevel = level == -1 ? m_defaultLevel : level;

        // One reading of the clock for both fields: two readings could
        // straddle midnight and date the row a day early.
        const QDateTime now = m_clock->Now();
        const QDateTime date(now.date(), QTime(0, 0));
        const QDateTime time(NaploZeroDateTime().date(), now.time());

        TTableSink &ds = *m_dataSet;
        if (!ds.Last() || !ds.Append())
            return;
        if (!ds.SetDateTime(QStringLiteral("Datum"), date) || !ds.SetDateTime(QStringLiteral("Ido"), time)
            || !ds.SetText(QStringLiteral("Tul"), rowOwner) || !ds.SetInteger(QStringLiteral("Szint"), rowLevel)
            || !ds.SetText(QStringLiteral("Szoveg"), text))
            return;
        if (!ds.Post())
            return;
        qint64 count = 0;
        if (!ds.RecordCount(count))
            return;
        if (count > m_maxRecords && ds.First())
            ds.Delete();
    } catch (...) {
        // A failing sink loses this row, nothing more.
    }
}

} // namespace ardel
