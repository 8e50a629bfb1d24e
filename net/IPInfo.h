// The workstation's own network attachment: a snapshot of its adapters, its
// host addresses, and the one own subnet that tells local devices from remote.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace ardel {

using IPv4Bytes = std::array<quint8, 4>;

// One address/mask pair.
class TInfoIPAddress {
public:
    TInfoIPAddress() = default;
    TInfoIPAddress(QString ip, QString mask) : IPAddress(std::move(ip)), IPMask(std::move(mask)) {}
    // "address/mask", or empty when both are empty.
    QString AsText() const;

    QString IPAddress;
    QString IPMask;
};

// What the platform tells about one adapter; the snapshot is built from these.
struct TAdapterRecord {
    QString AdapterName;
    QString Description;
    QByteArray Address; // hardware address bytes
    quint32 Index = 0;
    quint32 Type = 0;
    bool DHCPEnabled = false;
    bool IsUp = false;
    std::vector<TInfoIPAddress> IPAddresses; // first pair first
    std::vector<TInfoIPAddress> Gateways;
};

class TAdapter {
public:
    explicit TAdapter(const TAdapterRecord &record);

    QString AdapterName;
    QString Description;
    quint32 AddressLength = 0;
    QString MACAddress;
    quint32 AdapterIndex = 0;
    quint32 AdapterType = 0;
    bool DHCPEnabled = false;
    bool IsUp = false;
    TInfoIPAddress CurrentIPAddress;
    std::vector<TInfoIPAddress> IPAddresses;
    std::vector<TInfoIPAddress> Gateways;
    TInfoIPAddress DHCPServer;
    bool HaveWINS = false;
    TInfoIPAddress PrimaryWINSServer;
    TInfoIPAddress SecondaryWINSServer;

    int IPAddressCount() const { return static_cast<int>(IPAddresses.size()); }
};

// A snapshot that could not be taken: the platform's error code (0 when the
// platform gave none, as for "no adapter with an IPv4 address") and the whole
// report line in what().
class EOSError : public std::runtime_error {
public:
    EOSError(int code, const QString &text);
    int Code() const { return m_code; }
    QString Message() const { return QString::fromUtf8(what()); }

private:
    int m_code;
};

// Where snapshots come from. The default reads the kernel's interface list;
// tests install their own to play adapters that come and go (or throw
// EOSError to play a listing that fails).
using TAdapterProvider = std::function<std::vector<TAdapterRecord>()>;
void SetAdapterProvider(TAdapterProvider provider); // empty restores the platform's
// Throws EOSError with errno when the kernel's list cannot be read.
std::vector<TAdapterRecord> PlatformAdapters();

// A snapshot of the adapters, taken when constructed. Loopback and adapters
// without any IPv4 address are left out: binding such an "address" on Linux
// would mean 0.0.0.0 and take port 1010 from every other endpoint.
class TIPInfo {
public:
    // The platform's snapshot. Throws EOSError when the list cannot be read or
    // holds no adapter with an IPv4 address; never a partial or empty snapshot.
    TIPInfo();
    explicit TIPInfo(const std::vector<TAdapterRecord> &records);

    int AdapterCount() const { return static_cast<int>(Adapters.size()); }
    std::vector<std::unique_ptr<TAdapter>> Adapters;
};

// Two upper-case hex digits per byte joined by ":"; count 0 gives "".
QString BytesToMACText(const QByteArray &bytes, int count);

// The host's own IPv4 addresses: those of the up, non-loopback adapters in
// adapter order. The resolver on Debian answers the host name with 127.0.1.1,
// which would make every device look local. Empty, without a report, when
// there is no such address: the adapter report says why.
QStringList GetHostAddresses();
QStringList HostAddressesOf(const TIPInfo &info);

// Exactly four dot-separated pieces, each a decimal number keeping its low 8
// bits (a piece that does not convert is 0); anything else is 0.0.0.0.
IPv4Bytes IPTextToBytes(const QString &text);

struct TOwnSubnet {
    QString OwnMaskText;
    IPv4Bytes OwnAddress{};
    IPv4Bytes OwnMask{};
};

// Reports every adapter through writeMessage and settles the own subnet from
// the first host address (a containment test on each adapter's first pair).
void ListOwnAddresses(const TIPInfo &info, const QStringList &hostAddresses,
                      const std::function<void(const QString &)> &writeMessage, TOwnSubnet &own);

bool IsInOwnSubnet(const QString &deviceIp, const TOwnSubnet &own);

} // namespace ardel
