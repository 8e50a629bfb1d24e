// The plain-text discovery exchange: commands to port 65535, replies merged
// into the table, and the 500 ms reply window that chains the steps. The
// exchange itself is TDiscoveryExchange; the window shows its progress.
#include "app/frm_main.h"

#include "app/core/DeviceExchanges.h"

#include <QLabel>

namespace ardel {

void Tf_main::SendCommand(const QString &command, const QString &destination)
{
    m_ex->Discovery().SendCommand(command, destination);
}

void Tf_main::IdUDPServer1UDPRead(const QByteArray &data, const QString &peerIP, quint16 peerPort)
{
    m_ex->OnDatagram(data, peerIP, peerPort);
}

void Tf_main::HandlePlainReply(const QString &peerIP, const QByteArray &datagram)
{
    m_ex->Discovery().HandlePlainReply(peerIP, datagram);
}

void Tf_main::UdpTimerTimer()
{
    m_ex->Discovery().ReplyWindowEnded();
}

void Tf_main::StartRefresh()
{
    m_ex->Discovery().StartRefresh();
}

void Tf_main::SendDiscovery()
{
    m_ex->Discovery().SendDiscovery();
}

void Tf_main::SendVersionRequest()
{
    m_ex->Discovery().SendVersionRequest();
}

void Tf_main::ShowDeviceCount(int rows)
{
    SetStatusPanel(0, QStringLiteral("Elem: ") + QString::number(rows));
}

} // namespace ardel
