// The short TCP connection to a device's port 1001 that writes a new MAC
// address into its EEPROM (TMacWriter does the work).
#include "app/frm_main.h"

#include "app/core/DeviceExchanges.h"
#include "config/frm_setMAC.h"

namespace ardel {

void Tf_main::OpenTavoConnection()
{
    m_ex->MacWriter().Open(TavoRemoteAddress, m_dialogs.f_setMAC ? m_dialogs.f_setMAC->GetMAC() : QByteArray(6, '\0'));
}

void Tf_main::TAVOSocket1Connect()
{
    m_ex->MacWriter().Connected();
}

void Tf_main::SendTavoFrame(const QByteArray &packet)
{
    m_ex->MacWriter().SendFrame(packet);
}

void Tf_main::TAVOSocket1Read()
{
    m_ex->MacWriter().ReadyRead();
}

void Tf_main::TAVOSocket1ReadChunk(const QByteArray &chunk)
{
    m_ex->MacWriter().ReadChunk(chunk);
}

void Tf_main::HandleTavoFrame(const QByteArray &frame)
{
    m_ex->MacWriter().HandleFrame(frame);
}

void Tf_main::TAVOSocket1Error()
{
    m_ex->MacWriter().SocketError();
}

void Tf_main::TcpTimer1Timer()
{
    m_ex->MacWriter().TimeUp();
}

void Tf_main::MacWriteFinished(bool written)
{
    // The refresh starts after the window went idle, so that its own busy
    // state is not switched off under it.
    if (written)
        StartRefresh();
}

} // namespace ardel
