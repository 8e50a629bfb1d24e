#include "app/MainWindowProbe.h"

#include "app/core/DeviceExchanges.h"

namespace ardel {

const TDeviceTableModel &TMainWindowProbe::Table() const
{
    return *m_w.m_table;
}

QString TMainWindowProbe::LastCommand() const
{
    return m_w.m_ex->Discovery().LastCommand();
}

QString TMainWindowProbe::PendingStepName() const
{
    return TDiscoveryExchange::StepName(m_w.m_ex->Discovery().PendingStep());
}

bool TMainWindowProbe::VersionPassDone() const
{
    return m_w.m_ex->Discovery().VersionPassDone();
}

bool TMainWindowProbe::EepromWriteOk() const
{
    return m_w.m_ex->MacWriter().WriteOk();
}

bool TMainWindowProbe::InfoRunning() const
{
    return m_w.m_ex->InfoPass().Running();
}

int TMainWindowProbe::InfoIndex() const
{
    return m_w.m_ex->InfoPass().Index();
}

quint64 TMainWindowProbe::PlainDatagramsHandled() const
{
    return m_w.m_ex->Discovery().PlainDatagramsHandled();
}

quint64 TMainWindowProbe::TavoDatagramsHandled() const
{
    return m_w.m_ex->TavoMessages().TavoDatagramsHandled();
}

bool TMainWindowProbe::UdpTimerActive() const
{
    return m_w.m_ex->Discovery().ReplyWindowOpen();
}

int TMainWindowProbe::UdpTimerInterval() const
{
    return m_w.m_ex->Discovery().ReplyWindowInterval();
}

bool TMainWindowProbe::TcpTimerActive() const
{
    return m_w.m_ex->MacWriter().TimerRunning();
}

int TMainWindowProbe::TcpTimerInterval() const
{
    return m_w.m_ex->MacWriter().TimerInterval();
}

bool TMainWindowProbe::TavoListerTimerActive() const
{
    return m_w.m_ex->InfoPass().BroadcastGapRunning();
}

int TMainWindowProbe::TavoListerTimerInterval() const
{
    return m_w.m_ex->InfoPass().BroadcastGapInterval();
}

QAbstractSocket::SocketState TMainWindowProbe::TcpState() const
{
    return static_cast<QAbstractSocket::SocketState>(m_w.m_ex->MacWriter().SocketState());
}

QString TMainWindowProbe::TavoRemoteAddress() const
{
    return m_w.TavoRemoteAddress;
}

const TTavoStreamFramer &TMainWindowProbe::TavoFramer() const
{
    return m_w.m_ex->MacWriter().Framer();
}

const TUDPComms *TMainWindowProbe::Comms() const
{
    return m_w.m_comms.get();
}

const TTavoCommandSender *TMainWindowProbe::Sender() const
{
    return m_w.m_ex->Sender();
}

const TTAVOProtocol &TMainWindowProbe::Codec() const
{
    return *m_w.TAVOProt1;
}

const TNaploComponent &TMainWindowProbe::Log() const
{
    return *m_w.Naplo1;
}

} // namespace ardel
