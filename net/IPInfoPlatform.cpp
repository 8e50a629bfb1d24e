// The adapter listing's platform seam: what the system tells about its
// network interfaces beyond QNetworkInterface. Every Linux-only call of the
// listing is here; a port puts its own branch beside it.
#include "net/IPInfo.h"

#include <QNetworkInterface>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <ifaddrs.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace ardel {

namespace {

#ifdef Q_OS_LINUX
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
#endif

QString describe(const QNetworkInterface &iface)
{
#ifdef Q_OS_LINUX
    const QString name = iface.name();
    QString extra = readSysText(QStringLiteral("/sys/class/net/%1/ifalias").arg(name));
    if (extra.isEmpty())
        extra = driverName(name);
    return extra.isEmpty() ? name : name + QStringLiteral(" (") + extra + QLatin1Char(')');
#else
    // Elsewhere the interface's name is an identifier; its friendly name is
    // what the system's own network settings show.
    return iface.humanReadableName();
#endif
}

} // namespace

std::vector<TAdapterRecord> PlatformAdapters()
{
#ifdef Q_OS_LINUX
    // QNetworkInterface answers a failed listing with an empty list; the
    // kernel's own answer tells a failure from "nothing there" and why.
    ifaddrs *probe = nullptr;
    if (::getifaddrs(&probe) != 0) {
        const int code = errno;
        throw EOSError(code, QString::fromLocal8Bit(std::strerror(code)));
    }
    ::freeifaddrs(probe);
#endif
    QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    std::stable_sort(all.begin(), all.end(),
                     [](const QNetworkInterface &a, const QNetworkInterface &b) { return a.index() < b.index(); });
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

} // namespace ardel
