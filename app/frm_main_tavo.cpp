// TAVO messages from the devices' port 65500 and the TAVOW refresh that asks
// every TAVO device for its name, owner and program version.
#include "app/frm_main.h"

#include "net/TextUtil.h"
#include "net/UDPComms.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoCommandSender.h"

#include <QTimer>

#include <algorithm>

namespace ardel {

namespace {

QString dotted(const QByteArray &data, int offset, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts.append(QString::number(static_cast<quint8>(data.at(offset + i))));
    return parts.join(QLatin1Char('.'));
}


} // namespace

QByteArray Tf_main::TextUntilZero(const QByteArray &text)
{
    const qsizetype z = text.indexOf('\0');
    return z < 0 ? text : text.left(z);
}

QByteArray Tf_main::FormatProgramVersion(const QByteArray &data)
{
    QByteArray out = QByteArrayLiteral("P:") + data.mid(11, 5) + QByteArrayLiteral(" B:");
    int build = 0;
    if (data.size() > 62)
        build = static_cast<quint8>(data.at(61)) | (static_cast<quint8>(data.at(62)) << 8);
    return out + QByteArray::number(build);
}

quint32 Tf_main::TavowAddressNumber(const QString &text)
{
    return DecimalOr<quint32>(text, 1);
}

QByteArray Tf_main::BuildReadCommand(int start, int count)
{
    QByteArray cmd = QByteArrayLiteral("CSYRE");
    cmd.append(static_cast<char>(start & 0xFF));
    cmd.append(static_cast<char>((start >> 8) & 0xFF));
    cmd.append(static_cast<char>(count & 0xFF));
    return cmd;
}

bool Tf_main::IsEchoFromAnotherEndpoint(const QString &peerIP, const QByteArray &datagram, const QString &localAddress)
{
    // The k-th copy of a datagram is taken from whichever endpoint delivers it
    // first; the k-th copies arriving through the other endpoints are echoes.
    // A device that really answers twice with the same bytes (a resend, or two
    // reads of equal texts) thus still gets through once per answer.
    constexpr qint64 kEchoWindowMs = 1500;
    constexpr int kRecentPerDevice = 16;
    if (!m_clock.isValid())
        m_clock.start();
    constexpr int kMaxRecent = 4096;
    // Longer than any packet: it cannot be an answer, so there is nothing to
    // tell apart, and it is not kept.
    if (datagram.size() > TTAVOProtocol::kMaxPacket)
        return false;
    const qint64 now = m_clock.elapsed();
    const auto expired = [&](const RecentTavo &r) { return now - r.at > kEchoWindowMs; };
    // Bounded in entries, whatever number of addresses a flood comes from:
    // the expired entries of every device go first, and only a flood still
    // inside the window empties the memory.
    if (m_recentTavoEntries >= kMaxRecent) {
        m_recentTavoEntries = 0;
        for (auto it = m_recentTavo.begin(); it != m_recentTavo.end();) {
            it->removeIf(expired);
            if (it->isEmpty()) {
                it = m_recentTavo.erase(it);
            } else {
                m_recentTavoEntries += static_cast<int>(it->size());
                ++it;
            }
        }
        if (m_recentTavoEntries >= kMaxRecent / 2) {
            m_recentTavo.clear();
            m_recentTavoEntries = 0;
        }
    }
    QList<RecentTavo> &recent = m_recentTavo[peerIP];
    m_recentTavoEntries -= static_cast<int>(recent.removeIf(expired));
    for (RecentTavo &r : recent) {
        if (r.data != datagram)
            continue;
        const int mine = ++r.copies[localAddress];
        int others = 0;
        for (auto it = r.copies.cbegin(); it != r.copies.cend(); ++it)
            if (it.key() != localAddress)
                others = std::max(others, it.value());
        r.at = now;
        return mine <= others;
    }
    if (recent.size() >= kRecentPerDevice) {
        recent.removeFirst();
        --m_recentTavoEntries;
    }
    RecentTavo r;
    r.data = datagram;
    r.copies.insert(localAddress, 1);
    r.at = now;
    recent.append(r);
    ++m_recentTavoEntries;
    return false;
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
        // A short answer must not be read past its end: missing bytes count as zero.
        QByteArray d = data;
        if (d.size() < 24)
            d.append(QByteArray(24 - d.size(), '\0'));
        QString status = QStringLiteral("N**M*");
        const quint8 dhcp = static_cast<quint8>(d.at(22));
        if (dhcp == 1)
            status[3] = QLatin1Char('*');
        else if (dhcp == 2)
            status[3] = QLatin1Char('I');
        if (static_cast<quint8>(d.at(23)) == 1)
            status[4] = QLatin1Char('C');
        DeviceRow r;
        r << dotted(d, 5, 6) << QStringLiteral("1001") << status << QString() << QString() << QString()
          << dotted(d, 11, 4) << felado << dotted(d, 15, 4) << dotted(d, 19, 4);
        m_table->MergeDeviceRow(r);
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
        TAVOProt1->Cimzett = 255;
        QByteArray packet;
        TAVOProt1->Encode(QByteArrayLiteral("CETEI"), packet);
        if (m_comms)
            m_comms->BroadcastText(packet, kTavoPort);
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
