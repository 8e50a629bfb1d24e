#include "app/core/DiscoveryExchange.h"

#include "app/core/DeviceReplies.h"
#include "app/core/DeviceTable.h"
#include "net/DatagramSender.h"
#include "net/TextUtil.h"
#include "tavo/TavoWire.h"

#include <QTimer>

namespace ardel {

TDiscoveryExchange::TDiscoveryExchange(TExchangeContext &context, QObject *parent)
    : QObject(parent), m_context(context), m_replyTimer(new QTimer(this))
{
    m_replyTimer->setObjectName(QStringLiteral("UdpTimer"));
    m_replyTimer->setInterval(kReplyWindowMs);
    connect(m_replyTimer, &QTimer::timeout, this, &TDiscoveryExchange::ReplyWindowEnded);
}

TDiscoveryExchange::~TDiscoveryExchange() = default;

void TDiscoveryExchange::Reset()
{
    m_pending = Step::None;
    m_lastCommand.clear();
    m_versionPassDone = false;
}

bool TDiscoveryExchange::ReplyWindowOpen() const
{
    return m_replyTimer->isActive();
}

int TDiscoveryExchange::ReplyWindowInterval() const
{
    return m_replyTimer->interval();
}

void TDiscoveryExchange::StopReplyWindow()
{
    m_replyTimer->stop();
}

QString TDiscoveryExchange::StepName(Step step)
{
    switch (step) {
    case Step::SendVersionRequest:
        return QStringLiteral("SendVersionRequest");
    case Step::SendDiscovery:
        return QStringLiteral("SendDiscovery");
    case Step::AskPassword:
        return QStringLiteral("AskPassword");
    case Step::StartRefresh:
        return QStringLiteral("StartRefresh");
    case Step::None:
        break;
    }
    return QString();
}

void TDiscoveryExchange::SendCommand(const QString &command, const QString &destination)
{
    if (!m_replyTimer->isActive())
        m_replyTimer->start();
    m_context.Host->SetBusy(true);
    m_lastCommand = command;
    if (!m_context.Comms)
        return;
    const QByteArray bytes = ToCp1250(command);
    if (destination == QLatin1String("255.255.255.255"))
        m_context.Comms->BroadcastText(bytes, wire::kPlainPort);
    else
        m_context.Comms->SendText(destination, bytes, wire::kPlainPort);
}

void TDiscoveryExchange::OnPlainDatagram(const QString &peerIP, const QByteArray &datagram)
{
    ++m_plainHandled;
    m_replyTimer->stop();
    m_replyTimer->start();
    HandlePlainReply(peerIP, datagram);
}

void TDiscoveryExchange::HandlePlainReply(const QString &peerIP, const QByteArray &datagram)
{
    TDeviceTableModel &table = *m_context.Table;
    const QString text = FromCp1250(datagram);
    if (m_lastCommand == QLatin1String("X")) {
        if (const std::optional<DeviceRow> row = ParseDiscoveryReply(text, peerIP))
            table.MergeDeviceRow(*row);
    }
    if (m_lastCommand == QLatin1String("V") && text.left(2) == QLatin1String("AV")) {
        const int r = table.FindDeviceRow(peerIP, QString(), QString());
        if (r >= 0)
            table.SetCell(r, ColVersion, text);
        if (!m_versionPassDone) {
            m_versionPassDone = true;
            m_pending = Step::SendDiscovery;
        }
    }
    if (m_lastCommand.startsWith(QLatin1Char('A'))) {
        if (text.startsWith(QLatin1Char('D'))) {
            m_pending = Step::AskPassword;
            emit setIpAnswered(false);
        } else if (text.startsWith(QLatin1Char('A'))) {
            m_pending = Step::StartRefresh;
            emit setIpAnswered(true);
        }
    }
}

void TDiscoveryExchange::ReplyWindowEnded()
{
    m_replyTimer->stop();
    // The indicator turns green, but the buttons stay disabled while a follow-up step runs.
    m_context.Host->SetIndicator(false);
    if (m_pending != Step::None) {
        const Step step = m_pending;
        m_pending = Step::None;
        runStep(step);
        return;
    }
    m_context.Table->DropEmptyRows();
    m_context.Host->SetBusy(false);
    emit finished();
}

void TDiscoveryExchange::runStep(Step step)
{
    switch (step) {
    case Step::SendVersionRequest:
        SendVersionRequest();
        break;
    case Step::SendDiscovery:
        SendDiscovery();
        break;
    case Step::AskPassword:
        emit passwordRequired();
        break;
    case Step::StartRefresh:
        StartRefresh();
        break;
    case Step::None:
        break;
    }
}

void TDiscoveryExchange::StartRefresh()
{
    m_context.Table->MarkRowsEmpty();
    m_versionPassDone = false;
    SendDiscovery();
}

void TDiscoveryExchange::SendDiscovery()
{
    m_pending = Step::SendVersionRequest;
    SendCommand(QStringLiteral("X"), QStringLiteral("255.255.255.255"));
}

void TDiscoveryExchange::SendVersionRequest()
{
    m_context.Table->Resort();
    emit versionRequestSent(m_context.Table->RowCount());
    m_context.Host->WriteMessage(QStringLiteral("Verzió lekérés"));
    SendCommand(QStringLiteral("V"), QStringLiteral("255.255.255.255"));
}

QString TDiscoveryExchange::SetIpCommand(const QString &mac, const QString &password, const QString &newAddress)
{
    return QStringLiteral("A") + mac + QLatin1Char('/') + password + QLatin1Char('/') + newAddress + QStringLiteral("|2a");
}

void TDiscoveryExchange::SendSetIp(const QString &mac, const QString &password, const QString &newAddress)
{
    m_context.Host->WriteMessage(QStringLiteral("Setip: ") + newAddress);
    const QString command = SetIpCommand(mac, password, newAddress);
    m_context.Host->WriteMessage(QStringLiteral("Parancs: ") + command);
    SendCommand(command, QStringLiteral("255.255.255.255"));
}

} // namespace ardel
