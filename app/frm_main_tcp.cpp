// The short TCP connection to a device's port 1001 that writes a new MAC
// address into its EEPROM.
#include "app/frm_main.h"

#include "config/frm_setMAC.h"
#include "net/TextUtil.h"
#include "tavo/TAVOProtocol.h"

#include <QTcpSocket>
#include <QTimer>

namespace ardel {

void Tf_main::OpenTavoConnection()
{
    WriteMessage(QStringLiteral("TCP kapcsolat megnyitása: ") + TavoRemoteAddress);
    // A connection still running from an earlier change is abandoned first, so
    // its late events cannot mix with this one.
    if (TAVOSocket1->state() != QAbstractSocket::UnconnectedState)
        TAVOSocket1->abort();
    TAVOSocket1->connectToHost(TavoRemoteAddress, wire::kTcpPort);
    TcpTimer1->start();
    SetBusy(true);
}

void Tf_main::TAVOSocket1Connect()
{
    WriteMessage(QStringLiteral("A kapcsolat létrejött!"));
    quint8 seq = static_cast<quint8>(TAVOProt1->CsomagSorszam + 1);
    if (seq > 200)
        seq = 1;
    TAVOProt1->CsomagSorszam = seq;
    ResetTavoAddresses();
    QByteArray command = QByteArrayLiteral("CSYWE");
    command.append(static_cast<char>(0xD3));
    command.append('\0');
    command.append(static_cast<char>(0x06));
    command.append(m_dialogs.f_setMAC ? m_dialogs.f_setMAC->GetMAC() : QByteArray(6, '\0'));
    QByteArray packet;
    TAVOProt1->EncodeTAVOW(command, packet);
    SendTavoFrame(packet);
    EepromWriteOk = false;
}

void Tf_main::SendTavoFrame(const QByteArray &packet)
{
    WriteMessage(QStringLiteral("TAVO parancsküldés: ") + TavoRemoteAddress);
    WriteMessage(QStringLiteral("TAVO csomagsorszám: ") + QString::number(TAVOProt1->CsomagSorszam));
    WriteMessage(QStringLiteral("TAVO csomag: ") + BytesToDecimalText(packet));
    TAVOSocket1->write(packet);
}

void Tf_main::TAVOSocket1Read()
{
    TAVOSocket1ReadChunk(TAVOSocket1->readAll());
}

void Tf_main::TAVOSocket1ReadChunk(const QByteArray &chunk)
{
    m_tavoFramer.Feed(chunk, [this](const QByteArray &frame) { HandleTavoFrame(frame); });
    WriteMessage(QStringLiteral("TAVO be: ") + FromCp1250(chunk));
}

void Tf_main::HandleTavoFrame(const QByteArray &frame)
{
    try {
        QByteArray data;
        TAVOProt1->DecodeTAVOW(frame, data);
        WriteMessage(QStringLiteral("TAVO data: ") + FromCp1250(data));
        if (data.size() == 6) {
            const quint8 result = static_cast<quint8>(data.at(5));
            WriteMessage(QStringLiteral("TAVO data: ") + QString::number(result));
            if (data.startsWith("ASYWE")) {
                if (result == 0) {
                    WriteMessage(QStringLiteral("EEPROM írási hiba!"));
                } else {
                    WriteMessage(QStringLiteral("Az EEPROM írás sikeres."));
                    EepromWriteOk = true;
                }
            }
        }
    } catch (const std::exception &) {
        WriteMessage(QStringLiteral("TAVO dekódolási hiba!"));
    }
}

void Tf_main::TAVOSocket1Error()
{
    // Deliberately silent: a failed attempt shows as the missing
    // "A kapcsolat létrejött!" line, and the timer ends the flow.
}

void Tf_main::TcpTimer1Timer()
{
    TcpTimer1->stop();
    bool refresh = false;
    if (TAVOSocket1->state() == QAbstractSocket::ConnectedState) {
        TAVOSocket1->disconnectFromHost();
        refresh = EepromWriteOk;
    }
    TAVOSocket1->abort();
    WriteMessage(QStringLiteral("TCP timer"));
    SetBusy(false);
    // The refresh starts after the window went idle, so that its own busy
    // state is not switched off under it.
    if (refresh)
        StartRefresh();
}

} // namespace ardel
