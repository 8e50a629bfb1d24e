#include "net/IPInfo.h"

#include "net/TextUtil.h"

#include <algorithm>

namespace ardel {

QString TInfoIPAddress::AsText() const
{
    if (IPAddress.isEmpty() && IPMask.isEmpty())
        return {};
    return IPAddress + QLatin1Char('/') + IPMask;
}

TAdapter::TAdapter(const TAdapterRecord &r)
    : AdapterName(r.AdapterName)
    , Description(r.Description)
    , AddressLength(static_cast<quint32>(r.Address.size()))
    , MACAddress(BytesToMACText(r.Address, static_cast<int>(r.Address.size())))
    , AdapterIndex(r.Index)
    , AdapterType(r.Type)
    , DHCPEnabled(r.DHCPEnabled)
    , IsUp(r.IsUp)
    , IPAddresses(r.IPAddresses)
    , Gateways(r.Gateways)
{
    if (!IPAddresses.empty())
        CurrentIPAddress = IPAddresses.front();
}

EOSError::EOSError(int code, const QString &text)
    : std::runtime_error((code ? QStringLiteral("Hálózati adapter hiba: %1 (hibakód: %2)").arg(text).arg(code)
                               : QStringLiteral("Hálózati adapter hiba: %1").arg(text))
                             .toStdString())
    , m_code(code)
{
}

namespace {

TAdapterProvider &provider()
{
    static TAdapterProvider p;
    return p;
}

} // namespace

void SetAdapterProvider(TAdapterProvider p)
{
    provider() = std::move(p);
}

TIPInfo::TIPInfo() : TIPInfo(provider() ? provider()() : PlatformAdapters())
{
    if (Adapters.empty())
        throw EOSError(0, QStringLiteral("nincs IPv4 címmel rendelkező hálózati adapter"));
}

TIPInfo::TIPInfo(const std::vector<TAdapterRecord> &records)
{
    for (const TAdapterRecord &r : records) {
        if (r.IPAddresses.empty())
            continue;
        Adapters.push_back(std::make_unique<TAdapter>(r));
    }
}

QString BytesToMACText(const QByteArray &bytes, int count)
{
    count = std::clamp(count, 0, static_cast<int>(bytes.size()));
    QString out;
    for (int i = 0; i < count; ++i) {
        if (i)
            out += QLatin1Char(':');
        out += QStringLiteral("%1").arg(static_cast<quint8>(bytes.at(i)), 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QStringList HostAddressesOf(const TIPInfo &info)
{
    QStringList out;
    for (const auto &a : info.Adapters) {
        if (!a->IsUp)
            continue;
        for (const TInfoIPAddress &p : a->IPAddresses)
            if (!p.IPAddress.isEmpty() && !out.contains(p.IPAddress))
                out.append(p.IPAddress);
    }
    return out;
}

QStringList GetHostAddresses()
{
    try {
        return HostAddressesOf(TIPInfo());
    } catch (const EOSError &) {
        return {};
    }
}

IPv4Bytes IPTextToBytes(const QString &text)
{
    IPv4Bytes out{};
    const QStringList pieces = SplitText(text, QLatin1Char('.'));
    if (pieces.size() != 4)
        return out;
    for (int i = 0; i < 4; ++i)
        out[static_cast<size_t>(i)] = LowByte(DecimalOr<qint32>(pieces.at(i), 0));
    return out;
}

void ListOwnAddresses(const TIPInfo &info, const QStringList &hostAddresses,
                      const std::function<void(const QString &)> &writeMessage, TOwnSubnet &own)
{
    // With no host address at all nothing matches and every device counts as local.
    const QString first = hostAddresses.isEmpty() ? QString() : hostAddresses.first();
    for (const auto &a : info.Adapters) {
        writeMessage(QStringLiteral("IP Adresses: ") + QString::number(a->IPAddressCount()));
        const QString t = a->IPAddresses.empty() ? QString() : a->IPAddresses.front().AsText();
        if (!first.isEmpty() && t.contains(first)) {
            own.OwnMaskText = t.mid(t.indexOf(QLatin1Char('/')) + 1, 20);
            writeMessage(QStringLiteral("Subnet: ") + own.OwnMaskText);
            own.OwnMask = IPTextToBytes(own.OwnMaskText);
        }
        writeMessage(a->MACAddress);
    }
    own.OwnAddress = IPTextToBytes(first);
}

bool IsInOwnSubnet(const QString &deviceIp, const TOwnSubnet &own)
{
    const IPv4Bytes d = IPTextToBytes(deviceIp);
    for (size_t n = 0; n < 4; ++n)
        if ((own.OwnAddress[n] & own.OwnMask[n]) != (d[n] & own.OwnMask[n]))
            return false;
    return true;
}

} // namespace ardel
