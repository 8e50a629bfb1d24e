// TAVO messages from the devices' port 65500 and the TAVOW refresh that asks
// every TAVO device for its name, owner and program version (TTavoMessages
// and TInfoPass do the work).
#include "app/frm_main.h"

#include "app/core/DeviceExchanges.h"

namespace ardel {

bool Tf_main::IsEchoFromAnotherEndpoint(const QString &peerIP, const QByteArray &datagram, const QString &localAddress)
{
    return m_ex->TavoMessages().IsEchoFromAnotherEndpoint(peerIP, datagram, localAddress);
}

void Tf_main::ProcessTavoPacket(const QString &peerIP, const QByteArray &datagram)
{
    m_ex->TavoMessages().ProcessTavoPacket(peerIP, datagram);
}

void Tf_main::bbtn_tavorefreshClick()
{
    StartTavoRefresh();
}

void Tf_main::StartTavoRefresh()
{
    m_ex->InfoPass().Start();
}

void Tf_main::BroadcastInfoRequest(bool restart)
{
    m_ex->InfoPass().BroadcastInfoRequest(restart);
}

void Tf_main::TavoListerTimerTimer()
{
    m_ex->InfoPass().BroadcastGapEnded();
}

void Tf_main::RequestNextDeviceInfo()
{
    m_ex->InfoPass().RequestNextDeviceInfo();
}

void Tf_main::StartDeviceInfoList(const QString &ip, const QString &address)
{
    m_ex->InfoPass().StartDeviceInfoList(ip, address);
}

void Tf_main::OnSenderStep()
{
    m_ex->InfoPass().SenderStepped();
}

void Tf_main::bbtn_test2Click()
{
    WriteMessage(QStringLiteral("-------------------------------------------------------"));
    m_ex->InfoPass().RunOverTable();
}

} // namespace ardel
