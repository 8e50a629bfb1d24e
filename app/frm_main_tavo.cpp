// TAVO messages from the devices' port 65500 and the TAVOW refresh that asks
// every TAVO device for its name, owner and program version.
#include "app/frm_main.h"

#include "app/core/DeviceReplies.h"
#include "net/TextUtil.h"
#include "net/UDPComms.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoCommandSender.h"
#include "tavo/TavoCommands.h"

#include <QTimer>

namespace ardel {

QByteArray Tf_main::TextUntilZero(const QByteArray &text)
{
    return ardel::TextUntilZero(text);
}

QByteArray Tf_main::FormatProgramVersion(const QByteArray &data)
{
    return ardel::FormatProgramVersion(data);
}

QByteArray Tf_main::BuildReadCommand(int start, int count)
{
    return ardel::BuildReadCommand(start, count);
}

bool Tf_main::IsEchoFromAnotherEndpoint(const QString &peerIP, const QByteArray &datagram, const QString &localAddress)
{
    if (!m_clock.isValid())
        m_clock.start();
    return m_echoFilter.IsEcho(peerIP, datagram, localAddress, m_clock.elapsed());
}

void Tf_main::ProcessTavoPacket(const QString &peerIP, const QByteArray &datagram)
{
    QByteArray data;
    TAVOProt1->Decode(datagram, data);
    WriteMessage(QStringLiteral("Feladó: ") + QString::number(TAVOProt1->Felado));
    if (data.size() <= 5)
        return;
    const QString felado = QString::number(TAVOProt1->Felado);
    const int row = m_table->FindDeviceRow(peerIP, QString(), felado);
    const QByteArray word = data.left(5);

    if (word == "AETEI") {
        if (const std::optional<DeviceRow> r = ParseAeteiReply(data, TAVOProt1->Felado))
            m_table->MergeDeviceRow(*r);
    } else if (word == "ASYRE") {
        WriteMessage(QStringLiteral("ASYRE adatok: ") + FromCp1250(data));
        // The tag tells what the sender's own target was asked; a late answer
        // of another device must not be read as that.
        const int tag = m_sender && m_sender->TargetIP() == peerIP ? m_sender->CurrentTag() : -1;
        const QByteArray text = TextUntilZero(data.mid(5)).left(255);
        if (tag == 1 && row >= 0)
            m_table->SetCell(row, ColDeviceName, FromCp1250(text));
        else if (tag == 2 && row >= 0)
            m_table->SetCell(row, ColOwner, FromCp1250(text));
        else if (tag == 3)
            CheckDevicePassword(text);
    } else if (word == "ASYSI") {
        if (row >= 0 && row < m_table->RowCount())
            m_table->SetCell(row, ColVersion, FromCp1250(FormatProgramVersion(data)));
    }
    WriteMessage(QStringLiteral("Jött TAVO csomag: ") + peerIP);
    if (m_sender)
        m_sender->Step(peerIP, QString::fromLatin1(word));
}

void Tf_main::bbtn_tavorefreshClick()
{
    StartTavoRefresh();
}

void Tf_main::StartTavoRefresh()
{
    SetBusy(true);
    m_table->MarkRowsEmpty();
    BroadcastInfoRequest(true);
}

void Tf_main::BroadcastInfoRequest(bool restart)
{
    if (restart)
        InfoBroadcastCount = 0;
    if (InfoBroadcastCount < 3) {
        ++InfoBroadcastCount;
        TAVOProt1->Cimzett = wire::kBroadcastRecipient;
        QByteArray packet;
        TAVOProt1->Encode(QByteArrayLiteral("CETEI"), packet);
        if (m_comms)
            m_comms->BroadcastText(packet, wire::kTavoPort);
        TavoListerTimer->start();
    } else if (InfoBroadcastCount == 3) {
        WriteMessage(QStringLiteral("------------------------------------"));
        WriteMessage(QStringLiteral("Info lekérdezés indítása"));
        InfoBroadcastCount = 4;
        InfoRunning = true;
        InfoIndex = -1;
        RequestNextDeviceInfo();
    }
}

void Tf_main::TavoListerTimerTimer()
{
    TavoListerTimer->stop();
    BroadcastInfoRequest(false);
}

void Tf_main::RequestNextDeviceInfo()
{
    int c = 0;
    if (InfoRunning) {
        const int n = m_table->RowCount();
        bool handled = false;
        if (n > 0) {
            c = 1;
            for (int i = 0; i < n; ++i) {
                if (InfoIndex + 1 >= m_table->RowCount()) {
                    InfoRunning = false;
                    WriteMessage(QStringLiteral("TAVO info kérés vége."));
                    m_table->DropEmptyRows();
                    SetBusy(false);
                    handled = true;
                    break;
                }
                WriteMessage(QStringLiteral("ListIndex, count: ") + QString::number(InfoIndex) + QStringLiteral(", ")
                             + QString::number(m_table->RowCount()));
                ++InfoIndex;
                const QString address = m_table->Cell(InfoIndex, ColTavow);
                WriteMessage(QStringLiteral("TaskArdelInfo: ") + address);
                if (!address.isEmpty()) {
                    WriteMessage(QStringLiteral("TAVOW infolekérés: ") + address);
                    StartDeviceInfoList(m_table->Cell(InfoIndex, ColIp), address);
                    handled = true;
                    break;
                }
                ++c;
            }
        }
        if (!handled) {
            WriteMessage(QStringLiteral("Üres lista"));
            InfoRunning = false;
            m_table->DropEmptyRows();
            SetBusy(false);
        }
    }
    WriteMessage(QStringLiteral("TAVO info kérés vége: ") + QString::number(c));
}

void Tf_main::StartDeviceInfoList(const QString &ip, const QString &address)
{
    if (!m_sender)
        return;
    m_sender->SetTarget(ip, TavowAddressNumber(address));
    m_sender->AddCommand(BuildReadCommand(10, 24), 1);
    m_sender->AddCommand(BuildReadCommand(34, 24), 2);
    m_sender->AddCommand(QByteArrayLiteral("CSYSI"), 0);
    m_sender->Step(QString(), QString());
}

void Tf_main::OnSenderStep()
{
    if (m_sender && m_sender->Finished()) {
        WriteMessage(QStringLiteral("Küldőlista vége"));
        RequestNextDeviceInfo();
        SetIndicator(false);
    } else {
        SetIndicator(true);
    }
}

void Tf_main::bbtn_test2Click()
{
    WriteMessage(QStringLiteral("-------------------------------------------------------"));
    InfoRunning = true;
    InfoIndex = -1;
    RequestNextDeviceInfo();
}

} // namespace ardel
