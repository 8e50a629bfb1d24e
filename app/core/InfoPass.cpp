#include "app/core/InfoPass.h"

#include "app/core/DeviceTable.h"
#include "net/DatagramSender.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoCommandSender.h"
#include "tavo/TavoCommands.h"
#include "tavo/TavoWire.h"

#include <QTimer>

namespace ardel {

TInfoPass::TInfoPass(TExchangeContext &context, QObject *parent)
    : QObject(parent), m_context(context), m_listerTimer(new QTimer(this))
{
    m_listerTimer->setObjectName(QStringLiteral("TavoListerTimer"));
    m_listerTimer->setInterval(kBroadcastGapMs);
    connect(m_listerTimer, &QTimer::timeout, this, &TInfoPass::BroadcastGapEnded);
}

TInfoPass::~TInfoPass() = default;

void TInfoPass::Reset()
{
    m_index = -1;
    m_running = false;
}

void TInfoPass::Stop()
{
    m_listerTimer->stop();
}

bool TInfoPass::BroadcastGapRunning() const
{
    return m_listerTimer->isActive();
}

int TInfoPass::BroadcastGapInterval() const
{
    return m_listerTimer->interval();
}

void TInfoPass::Start()
{
    m_context.Host->SetBusy(true);
    m_context.Table->MarkRowsEmpty();
    BroadcastInfoRequest(true);
}

void TInfoPass::BroadcastInfoRequest(bool restart)
{
    if (restart)
        m_broadcastCount = 0;
    if (m_broadcastCount < kBroadcasts) {
        ++m_broadcastCount;
        m_context.Codec->Cimzett = wire::kBroadcastRecipient;
        QByteArray packet;
        m_context.Codec->Encode(QByteArrayLiteral("CETEI"), packet);
        if (m_context.Comms)
            m_context.Comms->BroadcastText(packet, wire::kTavoPort);
        m_listerTimer->start();
    } else if (m_broadcastCount == kBroadcasts) {
        m_context.Host->WriteMessage(QStringLiteral("------------------------------------"));
        m_context.Host->WriteMessage(QStringLiteral("Info lekérdezés indítása"));
        m_broadcastCount = kBroadcasts + 1;
        m_running = true;
        m_index = -1;
        RequestNextDeviceInfo();
    }
}

void TInfoPass::BroadcastGapEnded()
{
    m_listerTimer->stop();
    BroadcastInfoRequest(false);
}

void TInfoPass::endPass()
{
    m_running = false;
    m_context.Table->DropEmptyRows();
    m_context.Host->SetBusy(false);
}

void TInfoPass::RequestNextDeviceInfo()
{
    TExchangeHost &host = *m_context.Host;
    const TDeviceTableModel &table = *m_context.Table;
    int c = 0;
    bool ended = false;
    if (m_running) {
        const int n = table.RowCount();
        bool handled = false;
        if (n > 0) {
            c = 1;
            for (int i = 0; i < n; ++i) {
                if (m_index + 1 >= table.RowCount()) {
                    m_running = false;
                    host.WriteMessage(QStringLiteral("TAVO info kérés vége."));
                    endPass();
                    ended = true;
                    handled = true;
                    break;
                }
                host.WriteMessage(QStringLiteral("ListIndex, count: ") + QString::number(m_index) + QStringLiteral(", ")
                                  + QString::number(table.RowCount()));
                ++m_index;
                const QString address = table.Cell(m_index, ColTavow);
                host.WriteMessage(QStringLiteral("TaskArdelInfo: ") + address);
                if (!address.isEmpty()) {
                    host.WriteMessage(QStringLiteral("TAVOW infolekérés: ") + address);
                    StartDeviceInfoList(table.Cell(m_index, ColIp), address);
                    handled = true;
                    break;
                }
                ++c;
            }
        }
        if (!handled) {
            host.WriteMessage(QStringLiteral("Üres lista"));
            endPass();
            ended = true;
        }
    }
    host.WriteMessage(QStringLiteral("TAVO info kérés vége: ") + QString::number(c));
    if (ended)
        emit finished();
}

void TInfoPass::StartDeviceInfoList(const QString &ip, const QString &address)
{
    TTavoCommandSender *sender = m_context.Sender;
    if (!sender)
        return;
    sender->SetTarget(ip, TavowAddressNumber(address));
    sender->AddCommand(BuildReadCommand(10, 24), 1);
    sender->AddCommand(BuildReadCommand(34, 24), 2);
    sender->AddCommand(QByteArrayLiteral("CSYSI"), 0);
    sender->Step(QString(), QString());
}

void TInfoPass::SenderStepped()
{
    TTavoCommandSender *sender = m_context.Sender;
    if (sender && sender->Finished()) {
        m_context.Host->WriteMessage(QStringLiteral("Küldőlista vége"));
        RequestNextDeviceInfo();
        m_context.Host->SetIndicator(false);
    } else {
        m_context.Host->SetIndicator(true);
    }
}

void TInfoPass::RunOverTable()
{
    m_running = true;
    m_index = -1;
    RequestNextDeviceInfo();
}

} // namespace ardel
