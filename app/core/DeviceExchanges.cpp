#include "app/core/DeviceExchanges.h"

#include "net/TextUtil.h"
#include "net/UDPComms.h"
#include "tavo/TavoCommandSender.h"
#include "tavo/TavoWire.h"

namespace ardel {

TDeviceExchanges::TDeviceExchanges(TExchangeHost &host, TDeviceTableModel &table, TTAVOProtocol &codec, QObject *parent)
    : QObject(parent), m_settings(m_context)
{
    m_context.Host = &host;
    m_context.Table = &table;
    m_context.Codec = &codec;
    m_discovery = new TDiscoveryExchange(m_context, this);
    m_infoPass = new TInfoPass(m_context, this);
    m_tavo = new TTavoMessages(m_context, this);
    m_macWriter = new TMacWriter(m_context, this);
}

TDeviceExchanges::~TDeviceExchanges()
{
    DetachComms();
}

void TDeviceExchanges::AttachComms(TUDPComms *comms, std::function<void(const QString &line)> senderLines)
{
    m_comms = comms;
    m_context.Comms = comms;
    if (!comms)
        return;
    comms->SetOnUDPRead([this](const QByteArray &data, const QString &peer, quint16 port) { OnDatagram(data, peer, port); });
    m_sender = std::make_unique<TTavoCommandSender>(std::move(senderLines));
    m_sender->SetComms(comms);
    m_sender->SetProtocol(m_context.Codec);
    m_sender->OnStep = [this] { m_infoPass->SenderStepped(); };
    m_context.Sender = m_sender.get();
}

void TDeviceExchanges::DetachComms()
{
    m_discovery->StopReplyWindow();
    m_infoPass->Stop();
    m_macWriter->Abort();
    m_context.Sender = nullptr;
    m_sender.reset();
    m_context.Comms = nullptr;
    m_comms = nullptr;
}

void TDeviceExchanges::OnDatagram(const QByteArray &data, const QString &peerIP, quint16 peerPort)
{
    m_context.Host->WriteMessage(QStringLiteral("Received outer: \"") + FromCp1250(data) + QStringLiteral("\" from ") + peerIP
                                 + QStringLiteral(" on port ") + QString::number(peerPort));
    if (peerPort == wire::kTavoPort) {
        m_tavo->OnTavoDatagram(peerIP, data, m_comms ? m_comms->ReceivingAddress() : QString());
        return;
    }
    m_discovery->OnPlainDatagram(peerIP, data);
}

bool TDeviceExchanges::IsIdle() const
{
    if (m_discovery->ReplyWindowOpen() || m_discovery->PendingStep() != TDiscoveryExchange::Step::None)
        return false;
    if (m_infoPass->BroadcastGapRunning() || m_infoPass->Running())
        return false;
    if (m_macWriter->TimerRunning())
        return false;
    return !(m_sender && m_sender->CommandCount() > 0 && !m_sender->Finished());
}

} // namespace ardel
