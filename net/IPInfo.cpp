#include "net/IPInfo.h"

#include "net/TextUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <ifaddrs.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ardel {

QString TInfoIPAddress::AsText() const
{
    if (IPAddress.isEmpty() && IPMask.isEmpty())
        return {};
    return IPAddress + QLatin1Char('/') + IPMask;
}

TAdapter::TAdapter(const TAdapterRecord &r)
    : AdapterName(r.AdapterName),
      Description(r.Description),
      AddressLength(static_cast<quint32>(r.Address.size())),
      MACAddress(BytesToMACText(r.Address, static_cast<int>(r.Address.size()))),
      AdapterIndex(r.Index),
      AdapterType(r.Type),
      DHCPEnabled(r.DHCPEnabled),
      IsUp(r.IsUp),
      IPAddresses(r.IPAddresses),
      Gateways(r.Gateways)
{
    if (!IPAddresses.empty())
        CurrentIPAddress = IPAddresses.front();
}

EOSError::EOSError(int code, const QString &text)
    : std::runtime_error((code ? QStringLiteral("Hálózati adapter hiba: %1 (hibakód: %2)").arg(text).arg(code)
                               : QStringLiteral("Hálózati adapter hiba: %1").arg(text))
                             .toStdString()),
      m_code(code)
{
}

namespace {

TAdapterProvider &provider()
{
    static TAdapterProvider p;
    return p;
}

QString readSysText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).trimmed();
}

// The kernel driver behind an interface ("veth", "e1000e", "iwlwifi"), which
// is what a person recognises an adapter by.
QString driverName(const QString &ifname)
{
    const QString link = QFileInfo(QStringLiteral("/sys/class/net/%1/device/driver").arg(ifname)).symLinkTarget();
    if (!link.isEmpty())
        return QFileInfo(link).fileName();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq req{};
    const QByteArray name = ifname.toLocal8Bit();
    std::strncpy(req.ifr_name, name.constData(), IFNAMSIZ - 1);
    req.ifr_data = reinterpret_cast<char *>(&info);
    QString result;
    if (::ioctl(fd, SIOCETHTOOL, &req) == 0)
        result = QString::fromLocal8Bit(info.driver, static_cast<qsizetype>(strnlen(info.driver, sizeof info.driver)));
    ::close(fd);
    return result;
}

QString describe(const QNetworkInterface &iface)
{
    const QString name = iface.name();
    QString extra = readSysText(QStringLiteral("/sys/class/net/%1/ifalias").arg(name));
    if (extra.isEmpty())
        extra = driverName(name);
    return extra.isEmpty() ? name : name + QStringLiteral(" (") + extra + QLatin1Char(')');
}

} // namespace

void SetAdapterProvider(TAdapterProvider p)
{
    provider() = std::move(p);
}

std::vector<TAdapterRecord> PlatformAdapters()
{
    // QNetworkInterface answers a failed listing with an empty list; the
    // kernel's own answer tells a failure from "nothing there" and why.
    ifaddrs *probe = nullptr;
    if (::getifaddrs(&probe) != 0) {
        const int code = errno;
        throw EOSError(code, QString::fromLocal8Bit(std::strerror(code)));
    }
    ::freeifaddrs(probe);

    QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    std::stable_sort(all.begin(), all.end(), [](const QNetworkInterface &a, const QNetworkInterface &b) {
        return a.index() < b.index();
    });
    std::vector<TAdapterRecord> out;
    for (const QNetworkInterface &iface : std::as_const(all)) {
        if (iface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        TAdapterRecord r;
        r.AdapterName = iface.name();
        r.Description = describe(iface);
        r.Address = QByteArray::fromHex(iface.hardwareAddress().toLatin1().replace(':', QByteArray()));
        r.Index = static_cast<quint32>(iface.index());
        r.Type = static_cast<quint32>(iface.type());
        r.IsUp = iface.flags().testFlag(QNetworkInterface::IsUp);
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry &e : entries) {
            if (e.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            r.IPAddresses.emplace_back(e.ip().toString(), e.netmask().toString());
        }
        if (r.IPAddresses.empty())
            continue;
        r.Gateways.emplace_back();
        out.push_back(std::move(r));
    }
    return out;
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
