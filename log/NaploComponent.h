// The log component on the main window: a configurable front for the log
// file writer, which it creates and owns.
#pragma once

#include "log/Naplo.h"

#include <QObject>
#include <QString>

#include <memory>

namespace ardel {

enum class TLogLevel { LogErrorsOnly, LogFromWarningsUp, LogFromNotesUp, LogEverything };

// The component's stored settings, in the order they are applied.
// The defaults are the values the main window stores for its log component.
struct TNaploComponentSettings {
    bool ConvertToPrintable = true;
    bool Logging = true;
    bool LogTime = true;
    bool LogEvertythingToDB = false;
    QString LogFile = QStringLiteral(".\\Ardel.log");
    qint32 LogLimit = 10000000;
    TLogLevel LogLevel = TLogLevel::LogEverything;
};

class TNaploComponent : public QObject {
    Q_OBJECT
public:
    explicit TNaploComponent(QObject *owner = nullptr, std::shared_ptr<TNaploClock> clock = {});
    ~TNaploComponent() override;

    // Applies stored settings after construction, in their declared order.
    void ApplySettings(const TNaploComponentSettings &settings);

    // Hands one entry to the writer; no failure reaches the caller.
    void WriteLog(const QString &text, bool toDB = false) noexcept;

    bool ConvertToPrintable() const { return m_naplo->ConvertToPrintable(); }
    void SetConvertToPrintable(bool on) { m_naplo->SetConvertToPrintable(on); }
    bool Logging() const { return m_naplo->Logging(); }
    void SetLogging(bool on) { m_naplo->SetLogging(on); }
    bool LogTime() const { return m_naplo->LogTime(); }
    void SetLogTime(bool on) { m_naplo->SetLogTime(on); }
    bool LogEvertythingToDB() const { return m_naplo->LogEvertythingToDB(); }
    void SetLogEvertythingToDB(bool on) { m_naplo->SetLogEvertythingToDB(on); }
    QString LogFile() const { return m_naplo->LogFile(); }
    void SetLogFile(const QString &name) { m_naplo->SetLogFile(name); }
    qint32 LogLimit() const { return m_naplo->LogLimit(); }
    void SetLogLimit(qint32 limit) { m_naplo->SetLogLimit(limit); }
    TLogLevel LogLevel() const;
    void SetLogLevel(TLogLevel level);
    ardel::LogMemo *LogMemo() const { return m_naplo->LogMemo(); }
    void SetLogMemo(ardel::LogMemo *memo) { m_naplo->SetLogMemo(memo); }
    TTableSink *DataSet() const { return m_naplo->DBLog().DataSet(); }
    void SetDataSet(TTableSink *dataSet) { m_naplo->DBLog().SetDataSet(dataSet); }
    const TOnWriteLogEvent &OnWriteLog() const { return m_naplo->OnWriteLog(); }
    void SetOnWriteLog(TOnWriteLogEvent handler) { m_naplo->SetOnWriteLog(std::move(handler)); }

    void SetHoldLinesForTurn(bool on) { m_naplo->SetHoldLinesForTurn(on); }

    TNaplo &Naplo() { return *m_naplo; }

    static qint32 LevelLimitFor(TLogLevel level);
    static TLogLevel LogLevelFor(qint32 levelLimit);

private:
    std::unique_ptr<TNaplo> m_naplo;
};

} // namespace ardel
