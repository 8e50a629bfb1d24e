// The plain-text discovery exchange: commands to port 65535, replies merged
// into the table, and the 500 ms reply window that chains the steps.
#include "app/frm_main.h"

#include "app/core/DeviceReplies.h"
#include "net/TextUtil.h"
#include "net/UDPComms.h"

#include <QLabel>
#include <QTimer>

namespace ardel {

void Tf_main::SendCommand(const QString &command, const QString &destination)
{
    if (!UdpTimer->isActive())
        UdpTimer->start();
    SetBusy(true);
    LastCommand = command;
    if (!m_comms)
        return;
    const QByteArray bytes = ToCp1250(command);
    if (destination == QLatin1String("255.255.255.255"))
        m_comms->BroadcastText(bytes, wire::kPlainPort);
    else
        m_comms->SendText(destination, bytes, wire::kPlainPort);
}

void Tf_main::IdUDPServer1UDPRead(const QByteArray &data, const QString &peerIP, quint16 peerPort)
{
    WriteMessage(QStringLiteral("Received outer: \"") + FromCp1250(data) + QStringLiteral("\" from ") + peerIP
                 + QStringLiteral(" on port ") + QString::number(peerPort));
    if (peerPort == wire::kTavoPort) {
        ++TavoDatagramsHandled;
        if (!IsEchoFromAnotherEndpoint(peerIP, data, m_comms ? m_comms->ReceivingAddress() : QString()))
            ProcessTavoPacket(peerIP, data);
        return;
    }
    ++PlainDatagramsHandled;
    UdpTimer->stop();
    UdpTimer->start();
    HandlePlainReply(peerIP, data);
}

void Tf_main::HandlePlainReply(const QString &peerIP, const QByteArray &datagram)
{
    const QString text = FromCp1250(datagram);
    if (LastCommand == QLatin1String("X")) {
        if (const std::optional<DeviceRow> row = ParseDiscoveryReply(text, peerIP))
            m_table->MergeDeviceRow(*row);
    }
    if (LastCommand == QLatin1String("V") && text.left(2) == QLatin1String("AV")) {
        const int r = m_table->FindDeviceRow(peerIP, QString(), QString());
        if (r >= 0)
            m_table->SetCell(r, ColVersion, text);
        if (!VersionPassDone) {
            VersionPassDone = true;
            PendingStep = &Tf_main::SendDiscovery;
        }
    }
    if (LastCommand.startsWith(QLatin1Char('A'))) {
        if (text.startsWith(QLatin1Char('D')))
            PendingStep = &Tf_main::AskPassword;
        else if (text.startsWith(QLatin1Char('A')))
            PendingStep = &Tf_main::StartRefresh;
    }
}

void Tf_main::UdpTimerTimer()
{
    UdpTimer->stop();
    // The indicator turns green, but the buttons stay disabled while a follow-up step runs.
    SetIndicator(false);
    if (PendingStep) {
        const StepFn step = PendingStep;
        PendingStep = nullptr;
        (this->*step)();
        return;
    }
    m_table->DropEmptyRows();
    SetBusy(false);
}

void Tf_main::StartRefresh()
{
    m_table->MarkRowsEmpty();
    VersionPassDone = false;
    SendDiscovery();
}

void Tf_main::SendDiscovery()
{
    PendingStep = &Tf_main::SendVersionRequest;
    SendCommand(QStringLiteral("X"), QStringLiteral("255.255.255.255"));
}

void Tf_main::SendVersionRequest()
{
    m_table->Resort();
    StatusPanels[0]->setText(QStringLiteral("Elem: ") + QString::number(m_table->RowCount()));
    WriteMessage(QStringLiteral("Verzió lekérés"));
    SendCommand(QStringLiteral("V"), QStringLiteral("255.255.255.255"));
}

} // namespace ardel
