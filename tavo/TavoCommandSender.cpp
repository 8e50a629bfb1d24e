#include "tavo/TavoCommandSender.h"

#include "net/ClockStamp.h"
#include "net/DatagramSender.h"
#include "net/TextUtil.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoWire.h"

#include <QTimer>

namespace ardel {

TTavoCommandSender::TTavoCommandSender(LineSink memo, QObject *parent)
    : QObject(parent), m_memo(std::move(memo)), m_timer(new QTimer(this))
{
    m_timer->setInterval(kRetryMs);
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &TTavoCommandSender::TimerTick);
}

TTavoCommandSender::~TTavoCommandSender()
{
    m_timer->stop();
    m_commands.clear();
    m_comms = nullptr;
    m_protocol = nullptr;
    OnStep = nullptr;
}

void TTavoCommandSender::SetTarget(const QString &ip, quint32 address)
{
    ClearList();
    m_targetIP = ip;
    m_targetAddress = address;
}

void TTavoCommandSender::ClearList()
{
    m_commands.clear();
    m_index = 0;
    m_errorCount = 0;
}

void TTavoCommandSender::AddCommand(const QByteArray &command, int tag)
{
    m_commands.append(TSendCommand{command, tag});
}

int TTavoCommandSender::CurrentTag() const
{
    return m_index < m_commands.size() ? m_commands.at(m_index).Tag : -1;
}

void TTavoCommandSender::Step(const QString &sourceIP, const QString &word)
{
    if (!m_protocol || !m_comms)
        return;

    if (!m_commands.isEmpty()) {
        if (sourceIP == m_targetIP) {
            if (m_index < m_commands.size()) {
                const QString expected = QLatin1Char('A') + FromCp1250(m_commands.at(m_index).Command.mid(1, 4));
                if (word == expected) {
                    ++m_index;
                    if (m_index < m_commands.size()) {
                        m_errorCount = 0;
                        SendCurrent(QStringLiteral("TAVOW parancsküldés: "));
                    }
                }
            }
        } else {
            Log(QStringLiteral("Nem jó az IP (src, dest): ") + sourceIP + QStringLiteral(", ") + m_targetIP);
            if (sourceIP.isEmpty() && word.isEmpty()) {
                m_protocol->Cimzett = m_targetAddress;
                if (m_errorCount >= kMaxSends) {
                    Log(QStringLiteral("Túl sok TAVOW hiba"));
                    m_errorCount = 0;
                    m_index = m_commands.size() + 1;
                } else {
                    ++m_errorCount;
                    if (m_index < m_commands.size())
                        SendCurrent(QStringLiteral("TAVOW parancsújraküldés: "));
                }
            }
        }
    }

    // Last action: the callback may replace the list and re-enter Step.
    if (OnStep) {
        const std::function<void()> callback = OnStep;
        callback();
    }
}

void TTavoCommandSender::TimerTick()
{
    m_timer->stop();
    Step(QString(), QString());
}

void TTavoCommandSender::SendCurrent(const QString &message)
{
    // A copy: the log sink is outside code and must not pull the list from under us.
    const QByteArray command = m_commands.at(m_index).Command;
    const QString target = m_targetIP;
    m_protocol->Cimzett = m_targetAddress;
    Log(message + FromCp1250(command.left(5)));
    QByteArray packet;
    m_protocol->Encode(command, packet);
    m_comms->SendText(target, packet, wire::kTavoPort);
    m_timer->stop();
    m_timer->start();
}

void TTavoCommandSender::Log(const QString &text) const
{
    if (!m_memo)
        return;
    m_memo(PaneStamp(CurrentClockStamp()) + text);
}

} // namespace ardel
