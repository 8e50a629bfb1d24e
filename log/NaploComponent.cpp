#include "log/NaploComponent.h"

namespace ardel {

TNaploComponent::TNaploComponent(QObject *owner, std::shared_ptr<TNaploClock> clock)
    : QObject(owner), m_naplo(std::make_unique<TNaplo>(std::move(clock)))
{
    m_naplo->SetLogFile(QStringLiteral(".\\Kelvi.log"));
}

TNaploComponent::~TNaploComponent() = default;

void TNaploComponent::ApplySettings(const TNaploComponentSettings &settings)
{
    SetConvertToPrintable(settings.ConvertToPrintable);
    SetLogging(settings.Logging);
    SetLogTime(settings.LogTime);
    SetLogEvertythingToDB(settings.LogEvertythingToDB);
    SetLogFile(settings.LogFile);
    SetLogLimit(settings.LogLimit);
    SetLogLevel(settings.LogLevel);
}

void TNaploComponent::WriteLog(const QString &text, bool toDB) noexcept
{
    m_naplo->WriteLog(text, toDB);
}

qint32 TNaploComponent::LevelLimitFor(TLogLevel level)
{
    switch (level) {
    case TLogLevel::LogErrorsOnly:
        return 1;
    case TLogLevel::LogFromWarningsUp:
        return 4;
    case TLogLevel::LogFromNotesUp:
        return 8;
    case TLogLevel::LogEverything:
        break;
    }
    return 99;
}

TLogLevel TNaploComponent::LogLevelFor(qint32 levelLimit)
{
    if (levelLimit <= 1)
        return TLogLevel::LogErrorsOnly;
    if (levelLimit <= 4)
        return TLogLevel::LogFromWarningsUp;
    if (levelLimit <= 8)
        return TLogLevel::LogFromNotesUp;
    return TLogLevel::LogEverything;
}

TLogLevel TNaploComponent::LogLevel() const
{
    return LogLevelFor(m_naplo->LevelLimit());
}

void TNaploComponent::SetLogLevel(TLogLevel level)
{
    m_naplo->SetLevelLimit(LevelLimitFor(level));
}

} // namespace ardel
