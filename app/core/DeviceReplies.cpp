#include "app/core/DeviceReplies.h"

#include "net/TextUtil.h"
#include "tavo/TavoWire.h"

namespace ardel {

namespace {

constexpr int kDiscoveryFields = 6;
constexpr qsizetype kMaxMacText = 255;
constexpr qsizetype kAeteiSize = 24;

QString dotted(const QByteArray &data, int offset, int count)
{
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts.append(QString::number(static_cast<quint8>(data.at(offset + i))));
    return parts.join(QLatin1Char('.'));
}

} // namespace

std::optional<DeviceRow> ParseDiscoveryReply(const QString &text, const QString &peerIP)
{
    if (!text.startsWith(QLatin1Char('A')))
        return std::nullopt;
    DeviceRow row = SplitText(text, QLatin1Char('/'));
    if (row.size() < kDiscoveryFields)
        return std::nullopt;
    if (row.size() > kDiscoveryFields) {
        row[RowName] = row.mid(RowName).join(QLatin1Char('/'));
        row.resize(kDiscoveryFields);
    }
    row[RowMac] = row[RowMac].mid(1, kMaxMacText);
    row.append(peerIP);    // RowIp
    row.append(QString()); // RowTavow
    row.append(QString()); // RowGateway
    row.append(QString()); // RowMask
    return row;
}

std::optional<DeviceRow> ParseAeteiReply(const QByteArray &data, quint32 felado)
{
    if (!data.startsWith("AETEI"))
        return std::nullopt;
    QByteArray d = data;
    if (d.size() < kAeteiSize)
        d.append(QByteArray(kAeteiSize - d.size(), '\0'));
    QString status = QStringLiteral("N**M*");
    const quint8 dhcp = static_cast<quint8>(d.at(22));
    if (dhcp == 1)
        status[3] = QLatin1Char('*');
    else if (dhcp == 2)
        status[3] = QLatin1Char('I');
    if (static_cast<quint8>(d.at(23)) == 1)
        status[4] = QLatin1Char('C');
    DeviceRow r(kDeviceRowFields);
    r[RowMac] = dotted(d, 5, 6);
    r[RowPort] = QString::number(wire::kTcpPort);
    r[RowStatus] = status;
    r[RowIp] = dotted(d, 11, 4);
    r[RowTavow] = QString::number(felado);
    r[RowGateway] = dotted(d, 15, 4);
    r[RowMask] = dotted(d, 19, 4);
    return r;
}

} // namespace ardel
