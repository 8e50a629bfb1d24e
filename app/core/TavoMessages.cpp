#include "app/core/TavoMessages.h"

#include "app/core/DeviceReplies.h"
#include "app/core/DeviceTable.h"
#include "net/TextUtil.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoCommandSender.h"
#include "tavo/TavoCommands.h"

namespace ardel {

TTavoMessages::TTavoMessages(TExchangeContext &context, QObject *parent) : QObject(parent), m_context(context)
{
}

TTavoMessages::~TTavoMessages() = default;

void TTavoMessages::OnTavoDatagram(const QString &peerIP, const QByteArray &datagram, const QString &localAddress)
{
    ++m_tavoHandled;
    if (!IsEchoFromAnotherEndpoint(peerIP, datagram, localAddress))
        ProcessTavoPacket(peerIP, datagram);
}

bool TTavoMessages::IsEchoFromAnotherEndpoint(const QString &peerIP, const QByteArray &datagram, const QString &localAddress)
{
    if (!m_clock.isValid())
        m_clock.start();
    return m_echoFilter.IsEcho(peerIP, datagram, localAddress, m_clock.elapsed());
}

void TTavoMessages::ProcessTavoPacket(const QString &peerIP, const QByteArray &datagram)
{
    TExchangeHost &host = *m_context.Host;
    TDeviceTableModel &table = *m_context.Table;
    TTAVOProtocol &codec = *m_context.Codec;
    QByteArray data;
    codec.Decode(datagram, data);
    host.WriteMessage(QStringLiteral("Feladó: ") + QString::number(codec.Felado));
    if (data.size() <= 5)
        return;
    const QString felado = QString::number(codec.Felado);
    const int row = table.FindDeviceRow(peerIP, QString(), felado);
    const QByteArray word = data.left(5);
    TTavoCommandSender *sender = m_context.Sender;

    if (word == "AETEI") {
        if (const std::optional<DeviceRow> r = ParseAeteiReply(data, codec.Felado))
            table.MergeDeviceRow(*r);
    } else if (word == "ASYRE") {
        host.WriteMessage(QStringLiteral("ASYRE adatok: ") + FromCp1250(data));
        // The tag tells what the sender's own target was asked; a late answer
        // of another device must not be read as that.
        const int tag = sender && sender->TargetIP() == peerIP ? sender->CurrentTag() : -1;
        const QByteArray text = TextUntilZero(data.mid(5)).left(255);
        if (tag == 1 && row >= 0)
            table.SetCell(row, ColDeviceName, FromCp1250(text));
        else if (tag == 2 && row >= 0)
            table.SetCell(row, ColOwner, FromCp1250(text));
        else if (tag == 3)
            emit devicePasswordRead(text);
    } else if (word == "ASYSI") {
        if (row >= 0 && row < table.RowCount())
            table.SetCell(row, ColVersion, FromCp1250(FormatProgramVersion(data)));
    }
    host.WriteMessage(QStringLiteral("Jött TAVO csomag: ") + peerIP);
    // The handler above may have closed the endpoints (a dialog's event loop).
    if (m_context.Sender)
        m_context.Sender->Step(peerIP, QString::fromLatin1(word));
}

} // namespace ardel
