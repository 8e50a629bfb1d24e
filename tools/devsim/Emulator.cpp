#include "tools/devsim/Emulator.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ardel::devsim {

namespace {

constexpr int kSocketBuffer = 16 * 1024 * 1024;
// Receive at most this many datagrams per wake-up so timers keep running.
constexpr int kReadBatch = 256;
constexpr int kMaxTcpPeers = 512;
constexpr qint64 kTcpIdleMs = 10000;

QString endpoint(std::uint32_t ip, quint16 port)
{
    return IpToText(ip) + QLatin1Char(':') + QString::number(port);
}

void setIntOpt(int fd, int level, int name, int value)
{
    ::setsockopt(fd, level, name, &value, sizeof value);
}

bool isLocalAddress(std::uint32_t ip)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ip);
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

} // namespace

Emulator::Emulator(SimConfig cfg, Journal *journal, QObject *parent)
    : QObject(parent), m_cfg(std::move(cfg)), m_journal(journal), m_rng(m_cfg.seed)
{
    m_clock.start();
    m_codec.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVOW;
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Emulator::runDue);
    m_retryTimer.setSingleShot(true);
    m_retryTimer.setInterval(2);
    connect(&m_retryTimer, &QTimer::timeout, this, &Emulator::drainSendQueue);
    m_tcpSweep.setInterval(1000);
    connect(&m_tcpSweep, &QTimer::timeout, this, &Emulator::sweepIdleTcp);
}

Emulator::~Emulator()
{
    for (auto it = m_peers.begin(); it != m_peers.end(); ++it)
        it.key()->disconnect(this);
    if (m_plainFd >= 0)
        ::close(m_plainFd);
    if (m_tavoFd >= 0)
        ::close(m_tavoFd);
}

bool Emulator::openUdp(quint16 port, int &fd, QString &error)
{
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = QStringLiteral("socket: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    setIntOpt(fd, SOL_SOCKET, SO_BROADCAST, 1);
    setIntOpt(fd, IPPROTO_IP, IP_PKTINFO, 1);
    // Root may go past rmem_max/wmem_max; otherwise take what the limits allow.
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &kSocketBuffer, sizeof kSocketBuffer) != 0)
        setIntOpt(fd, SOL_SOCKET, SO_RCVBUF, kSocketBuffer);
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDBUFFORCE, &kSocketBuffer, sizeof kSocketBuffer) != 0)
        setIntOpt(fd, SOL_SOCKET, SO_SNDBUF, kSocketBuffer);
    // Lets a device that was given an address outside the namespace's local
    // ranges still answer from it; without the privilege such sends fail
    // and are counted as errors.
    setIntOpt(fd, IPPROTO_IP, IP_TRANSPARENT, 1);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        error = QStringLiteral("cannot bind UDP port %1: %2").arg(port).arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        fd = -1;
        return false;
    }
    return true;
}

bool Emulator::loadSegments(QString &error)
{
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0) {
        error = QStringLiteral("getifaddrs: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    for (ifaddrs *i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !i->ifa_netmask || (i->ifa_flags & IFF_LOOPBACK))
            continue;
        Segment s;
        s.name = QString::fromLocal8Bit(i->ifa_name);
        s.ifindex = int(::if_nametoindex(i->ifa_name));
        sockaddr_in a{}, m{};
        std::memcpy(&a, i->ifa_addr, sizeof a);
        std::memcpy(&m, i->ifa_netmask, sizeof m);
        s.addr = ntohl(a.sin_addr.s_addr);
        s.mask = ntohl(m.sin_addr.s_addr);
        s.bcast = (s.addr & s.mask) | ~s.mask;
        // Secondary addresses of an interface join its first segment.
        if (m_segmentByIfindex.contains(s.ifindex))
            continue;
        m_segmentByIfindex.insert(s.ifindex, int(m_segments.size()));
        m_segments.push_back(std::move(s));
    }
    ::freeifaddrs(list);
    return true;
}

bool Emulator::Start(QString &error, QString &summary)
{
    if (!ValidateDevices(m_cfg.devices, error))
        return false;
    if (!loadSegments(error))
        return false;
    // Devices on addresses that no interface's subnet holds sit on dev0 (or
    // the first interface), as if on the same wire as the workstation.
    int fallback = m_segments.empty() ? -1 : 0;
    for (std::size_t i = 0; i < m_segments.size(); ++i)
        if (m_segments[i].name == QLatin1String("dev0"))
            fallback = int(i);

    m_devices.reserve(m_cfg.devices.size());
    for (const DeviceConfig &c : m_cfg.devices) {
        auto d = std::make_unique<Device>(c);
        d->segment = -1;
        for (std::size_t i = 0; i < m_segments.size(); ++i) {
            const Segment &s = m_segments[i];
            if (c.iface.isEmpty() ? (c.ip & s.mask) == (s.addr & s.mask) : s.name == c.iface) {
                d->segment = int(i);
                break;
            }
        }
        if (d->segment < 0 && !c.iface.isEmpty()) {
            error = QStringLiteral("device %1: no interface \"%2\"").arg(IpToText(c.ip), c.iface);
            return false;
        }
        if (d->segment < 0)
            d->segment = fallback;
        if (d->segment >= 0)
            m_segments[std::size_t(d->segment)].devices.push_back(d.get());
        m_byIp[c.ip].append(d.get());
        m_devices.push_back(std::move(d));
    }

    if (!openUdp(kPlainPort, m_plainFd, error) || !openUdp(kTavoPort, m_tavoFd, error))
        return false;
    m_plainReader = new QSocketNotifier(m_plainFd, QSocketNotifier::Read, this);
    connect(m_plainReader, &QSocketNotifier::activated, this, [this] { readDatagrams(m_plainFd); });
    m_tavoReader = new QSocketNotifier(m_tavoFd, QSocketNotifier::Read, this);
    connect(m_tavoReader, &QSocketNotifier::activated, this, [this] { readDatagrams(m_tavoFd); });
    m_plainWriter = new QSocketNotifier(m_plainFd, QSocketNotifier::Write, this);
    m_plainWriter->setEnabled(false);
    connect(m_plainWriter, &QSocketNotifier::activated, this, &Emulator::drainSendQueue);
    m_tavoWriter = new QSocketNotifier(m_tavoFd, QSocketNotifier::Write, this);
    m_tavoWriter->setEnabled(false);
    connect(m_tavoWriter, &QSocketNotifier::activated, this, &Emulator::drainSendQueue);

    m_tcp = new QTcpServer(this);
    m_tcp->setMaxPendingConnections(64);
    if (!m_tcp->listen(QHostAddress(QHostAddress::AnyIPv4), kTcpPort)) {
        error = QStringLiteral("cannot listen on TCP port %1: %2").arg(kTcpPort).arg(m_tcp->errorString());
        return false;
    }
    connect(m_tcp, &QTcpServer::newConnection, this, &Emulator::onNewConnection);
    m_tcpSweep.start();

    int tavo = 0;
    for (const auto &d : m_devices)
        tavo += d->isTavo() ? 1 : 0;
    QStringList segs;
    for (const Segment &s : m_segments)
        segs.append(QStringLiteral("%1 %2: %3").arg(s.name, IpToText(s.addr)).arg(s.devices.size()));
    summary = QStringLiteral("%1 devices (%2 TAVO); segments: %3")
                  .arg(m_devices.size())
                  .arg(tavo)
                  .arg(segs.isEmpty() ? QStringLiteral("none") : segs.join(QStringLiteral(", ")));
    return true;
}

Stats Emulator::GetStats() const
{
    Stats s = m_stats;
    s.repliesPending = quint64(m_timed.size() + m_sendQueue.size());
    return s;
}

QString Emulator::ifaceName(int ifindex) const
{
    const auto it = m_segmentByIfindex.constFind(ifindex);
    if (it != m_segmentByIfindex.constEnd())
        return m_segments[std::size_t(*it)].name;
    char name[IF_NAMESIZE] = {};
    if (ifindex > 0 && ::if_indextoname(unsigned(ifindex), name))
        return QString::fromLocal8Bit(name);
    return QString();
}

void Emulator::readDatagrams(int fd)
{
    static thread_local QByteArray buf(65536, '\0');
    for (int n = 0; n < kReadBatch; ++n) {
        sockaddr_in from{};
        iovec iov{buf.data(), std::size_t(buf.size())};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t len = ::recvmsg(fd, &msg, MSG_DONTWAIT);
        if (len < 0)
            return; // EAGAIN or a transient error: the notifier fires again
        Incoming in;
        in.fd = fd;
        in.src = ntohl(from.sin_addr.s_addr);
        in.srcPort = ntohs(from.sin_port);
        in.dstPort = fd == m_plainFd ? kPlainPort : kTavoPort;
        in.payload = QByteArray(buf.constData(), qsizetype(len));
        for (cmsghdr *c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo pi{};
                std::memcpy(&pi, CMSG_DATA(c), sizeof pi);
                in.ifindex = pi.ipi_ifindex;
                in.dst = ntohl(pi.ipi_addr.s_addr);
            }
        }
        ++m_stats.udpReceived;
        if (fd == m_plainFd)
            handlePlain(in);
        else
            handleTavo(in);
    }
}

bool Emulator::isBroadcast(const Incoming &in) const
{
    if (in.dst == 0xFFFFFFFFu)
        return true;
    for (const Segment &s : m_segments)
        if (in.dst == s.bcast)
            return true;
    return false;
}

int Emulator::segmentOf(const Incoming &in) const
{
    return m_segmentByIfindex.value(in.ifindex, -1);
}

std::vector<Device *> Emulator::targets(const Incoming &in) const
{
    if (isBroadcast(in)) {
        const int seg = segmentOf(in);
        if (seg < 0)
            return {};
        return m_segments[std::size_t(seg)].devices;
    }
    const QVector<Device *> at = m_byIp.value(in.dst);
    return std::vector<Device *>(at.begin(), at.end());
}

bool Emulator::answers(Device *d)
{
    if (d->config().silent || NowMs() < d->downUntilMs)
        return false;
    if (d->config().drop > 0.0 && std::uniform_real_distribution<double>(0.0, 1.0)(m_rng) < d->config().drop) {
        ++m_stats.requestsDropped;
        return false;
    }
    return true;
}

int Emulator::spread()
{
    if (m_cfg.answerSpreadMs <= 0)
        return 0;
    return std::uniform_int_distribution<int>(0, m_cfg.answerSpreadMs)(m_rng);
}

void Emulator::handlePlain(const Incoming &in)
{
    if (m_journal)
        m_journal->Add(NowMs(), Journal::Entry(QStringLiteral("udp"), endpoint(in.src, in.srcPort), endpoint(in.dst, in.dstPort),
                                               ifaceName(in.ifindex), in.payload));
    const QByteArray &text = in.payload;
    SetIpCommand setIp;
    enum { Discovery, Version, SetIp } kind;
    if (text == "X")
        kind = Discovery;
    else if (text == "V")
        kind = Version;
    else if (ParseSetIpCommand(text, setIp))
        kind = SetIp;
    else
        return;
    for (Device *d : targets(in)) {
        if (!d->config().plain)
            continue;
        if (kind == SetIp && d->mac() != setIp.mac)
            continue;
        if (!answers(d))
            continue;
        const int delay = d->config().delayMs + spread();
        if (kind == Discovery) {
            queueReply(
                m_plainFd, d->ip(), in.src, in.srcPort, [this, d] { return d->DiscoveryReply(m_rng); }, delay);
        } else if (kind == Version) {
            queueReply(
                m_plainFd, d->ip(), in.src, in.srcPort, [this, d] { return d->VersionReply(m_rng); }, delay);
        } else {
            const QByteArray reply = d->SetIpReply(setIp);
            queueReply(m_plainFd, d->ip(), in.src, in.srcPort, reply, delay);
            if (reply == "A")
                moveDevice(d, setIp.newIp);
        }
    }
}

void Emulator::moveDevice(Device *d, std::uint32_t newIp)
{
    const std::uint32_t old = d->ip();
    if (old == newIp)
        return;
    auto it = m_byIp.find(old);
    if (it != m_byIp.end()) {
        it->removeAll(d);
        if (it->isEmpty())
            m_byIp.erase(it);
    }
    d->setIp(newIp);
    m_byIp[newIp].append(d);
    std::printf("device %s moved to %s%s\n", qPrintable(IpToText(old)), qPrintable(IpToText(newIp)),
                isLocalAddress(newIp) ? "" : " (not a local address here: unicast to it cannot arrive)");
    std::fflush(stdout);
}

QByteArray Emulator::encodeReply(const Device &d, const QByteArray &data, std::uint32_t recipient, std::uint8_t seq, bool tavow)
{
    const std::uint32_t sender = d.isTavo() ? d.tavow() : 256u;
    m_codec.Cimzett = recipient;
    m_codec.Felado = sender;
    m_codec.Felado_rovid_cim = std::uint8_t(sender);
    m_codec.CsomagSorszam = seq;
    m_codec.Info = TInfo::nem_kerek_nyugtat;
    m_codec.Enable_ASYER = false;
    m_codec.Disable_bitmatrix = false;
    m_codec.Header_extension.clear();
    QByteArray packet;
    try {
        if (tavow)
            m_codec.EncodeTAVOW(data, packet);
        else
            m_codec.EncodeTAVO(data, packet);
    } catch (const TTAVOError &) {
        return {};
    }
    return packet;
}

void Emulator::handleTavo(const Incoming &in)
{
    QJsonObject entry = Journal::Entry(QStringLiteral("udp"), endpoint(in.src, in.srcPort), endpoint(in.dst, in.dstPort),
                                       ifaceName(in.ifindex), in.payload);
    QByteArray data;
    m_codec.Decode(in.payload, data);
    const int err = m_codec.DecodeError();
    const std::uint32_t recipient = m_codec.Cimzett;
    const std::uint32_t requester = m_codec.Felado;
    const std::uint8_t seq = m_codec.CsomagSorszam;
    if (!in.payload.isEmpty()) {
        const char first = in.payload.at(0);
        entry.insert(QStringLiteral("variant"), first == wire::kTavowStart  ? QStringLiteral("tavow")
                                                : first == wire::kTavoStart ? QStringLiteral("tavo")
                                                                            : QStringLiteral("unknown"));
    }
    entry.insert(QStringLiteral("decode_error"), err);
    if (err == 0 || err == 4) {
        entry.insert(QStringLiteral("word"), QString::fromLatin1(data.left(5)));
        entry.insert(QStringLiteral("data_hex"), QString::fromLatin1(data.toHex()));
        entry.insert(QStringLiteral("cimzett"), qint64(recipient));
        entry.insert(QStringLiteral("felado"), qint64(requester));
        entry.insert(QStringLiteral("seq"), seq);
    }
    if (m_journal)
        m_journal->Add(NowMs(), entry);
    if (data.size() < 5)
        return;

    for (Device *d : targets(in)) {
        if (!d->isTavo() || d->config().tavoSilent)
            continue;
        // 255 addresses every device; otherwise only the device itself answers.
        if (recipient != 255 && recipient != d->tavow())
            continue;
        if (!answers(d))
            continue;
        const std::uint32_t from = d->ip();
        TavoEffect effect;
        const QByteArray reply = d->HandleTavo(data, effect);
        if (!reply.isEmpty()) {
            const QByteArray packet = encodeReply(*d, reply, requester, seq, !d->config().tavoVariantTavo);
            if (!packet.isEmpty())
                queueReply(m_tavoFd, from, in.src, in.srcPort, packet, d->config().tavoDelayMs + spread());
        }
        if (effect.addressChanged) {
            // The answer above still leaves from the old address; the
            // address index follows the device to its new one.
            const std::uint32_t newIp = d->ip();
            d->setIp(effect.oldIp);
            moveDevice(d, newIp);
        }
        if (effect.restart)
            d->downUntilMs = NowMs() + d->config().restartMs;
    }
}

void Emulator::queueReply(int fd, std::uint32_t src, std::uint32_t dst, quint16 dstPort, const QByteArray &payload, int delayMs)
{
    OutDatagram d;
    d.fd = fd;
    d.src = src;
    d.dst.sin_family = AF_INET;
    d.dst.sin_port = htons(dstPort);
    d.dst.sin_addr.s_addr = htonl(dst);
    d.payload = payload;
    if (delayMs <= 0) {
        send(std::move(d));
        return;
    }
    schedule(delayMs, [this, out = std::move(d)]() mutable { send(std::move(out)); });
}

void Emulator::queueReply(int fd, std::uint32_t src, std::uint32_t dst, quint16 dstPort, std::function<QByteArray()> make,
                          int delayMs)
{
    if (delayMs <= 0) {
        queueReply(fd, src, dst, dstPort, make(), 0);
        return;
    }
    schedule(delayMs, [this, fd, src, dst, dstPort, make = std::move(make)] { queueReply(fd, src, dst, dstPort, make(), 0); });
}

void Emulator::send(OutDatagram &&d)
{
    // Keep the order: once anything waits, everything after it waits too.
    if (!m_sendQueue.empty() || !trySend(d)) {
        m_sendQueue.push_back(std::move(d));
        if (m_sendQueue.size() == 1) {
            m_plainWriter->setEnabled(true);
            m_tavoWriter->setEnabled(true);
            m_retryTimer.start();
        }
    }
}

bool Emulator::trySend(const OutDatagram &d)
{
    iovec iov{const_cast<char *>(d.payload.constData()), std::size_t(d.payload.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = const_cast<sockaddr_in *>(&d.dst);
    msg.msg_namelen = sizeof d.dst;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr *c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo pi{};
    pi.ipi_spec_dst.s_addr = htonl(d.src);
    std::memcpy(CMSG_DATA(c), &pi, sizeof pi);
    for (;;) {
        if (::sendmsg(d.fd, &msg, MSG_DONTWAIT | MSG_NOSIGNAL) >= 0) {
            ++m_stats.repliesSent;
            return true;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)
            return false;
        ++m_stats.sendErrors;
        if (m_errorLines < 20) {
            ++m_errorLines;
            std::fprintf(stderr, "devsim: send from %s to %s:%u failed: %s\n", qPrintable(IpToText(d.src)),
                         qPrintable(IpToText(ntohl(d.dst.sin_addr.s_addr))), unsigned(ntohs(d.dst.sin_port)),
                         std::strerror(errno));
        }
        return true; // a hard failure is not retried
    }
}

void Emulator::drainSendQueue()
{
    while (!m_sendQueue.empty()) {
        if (!trySend(m_sendQueue.front())) {
            // Still full: wait for the socket or the short retry timer
            // (ENOBUFS never makes the socket writable again by itself).
            m_retryTimer.start();
            return;
        }
        m_sendQueue.pop_front();
    }
    m_plainWriter->setEnabled(false);
    m_tavoWriter->setEnabled(false);
    m_retryTimer.stop();
}

void Emulator::schedule(qint64 delayMs, std::function<void()> fn)
{
    const qint64 due = NowMs() + delayMs;
    m_timed.push(Timed{due, m_timedSeq++, std::move(fn)});
    if (m_armedDue < 0 || due < m_armedDue) {
        m_armedDue = due;
        m_timer.start(int(std::max<qint64>(0, due - NowMs())));
    }
}

void Emulator::runDue()
{
    m_armedDue = -1;
    const qint64 now = NowMs();
    while (!m_timed.empty() && m_timed.top().due <= now) {
        // Move the action out before popping; running it may schedule more.
        auto fn = std::move(const_cast<Timed &>(m_timed.top()).fn);
        m_timed.pop();
        fn();
    }
    if (!m_timed.empty() && m_armedDue < 0) {
        m_armedDue = m_timed.top().due;
        m_timer.start(int(std::max<qint64>(0, m_armedDue - NowMs())));
    }
}

void Emulator::onNewConnection()
{
    while (QTcpSocket *s = m_tcp->nextPendingConnection()) {
        const std::uint32_t local = s->localAddress().toIPv4Address();
        const QVector<Device *> at = m_byIp.value(local);
        Device *d = at.isEmpty() ? nullptr : at.first();
        // No device, a device that is restarting or silent, or too many open
        // connections: refuse as a device that is not there would.
        if (!d || d->config().silent || NowMs() < d->downUntilMs || m_peers.size() >= kMaxTcpPeers) {
            s->abort();
            s->deleteLater();
            continue;
        }
        TcpPeer p;
        p.localIp = local;
        p.src = endpoint(s->peerAddress().toIPv4Address(), s->peerPort());
        p.dst = endpoint(local, s->localPort());
        p.lastActivityMs = NowMs();
        p.device = d;
        ++d->tcpConnections;
        m_peers.insert(s, p);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { onTcpReadyRead(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] { onTcpGone(s); });
    }
}

void Emulator::onTcpGone(QTcpSocket *s)
{
    const auto it = m_peers.find(s);
    if (it == m_peers.end())
        return;
    if (it->device)
        --it->device->tcpConnections;
    m_peers.erase(it);
    s->disconnect(this);
    s->deleteLater();
}

void Emulator::sweepIdleTcp()
{
    const qint64 now = NowMs();
    QList<QTcpSocket *> idle;
    for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it)
        if (now - it->lastActivityMs > kTcpIdleMs)
            idle.append(it.key());
    for (QTcpSocket *s : idle) {
        s->abort();
        onTcpGone(s);
    }
}

void Emulator::onTcpReadyRead(QTcpSocket *s)
{
    const auto it = m_peers.find(s);
    if (it == m_peers.end())
        return;
    TcpPeer &peer = *it;
    const QByteArray chunk = s->readAll();
    if (chunk.isEmpty())
        return;
    ++m_stats.tcpChunks;
    peer.lastActivityMs = NowMs();
    QJsonObject entry = Journal::Entry(QStringLiteral("tcp"), peer.src, peer.dst, QString(), chunk);
    bool first = true;
    // The stream is framed as the program itself reads it.
    peer.framer.Feed(chunk, [&](const QByteArray &frame) { handleTcpFrame(s, peer, frame, entry, first); });
    if (m_journal)
        m_journal->Add(NowMs(), entry);
}

void Emulator::handleTcpFrame(QTcpSocket *s, TcpPeer &peer, const QByteArray &frame, QJsonObject &entry, bool &first)
{
    QByteArray data;
    m_codec.DecodeTAVOW(frame, data);
    const int err = m_codec.DecodeError();
    const std::uint32_t requester = m_codec.Felado;
    const std::uint8_t seq = m_codec.CsomagSorszam;
    if (first) {
        // The journal line of a chunk describes the first frame it completes.
        first = false;
        entry.insert(QStringLiteral("variant"), QStringLiteral("tavow"));
        entry.insert(QStringLiteral("decode_error"), err);
        if (err == 0 || err == 4) {
            entry.insert(QStringLiteral("word"), QString::fromLatin1(data.left(5)));
            entry.insert(QStringLiteral("data_hex"), QString::fromLatin1(data.toHex()));
            entry.insert(QStringLiteral("cimzett"), qint64(m_codec.Cimzett));
            entry.insert(QStringLiteral("felado"), qint64(requester));
            entry.insert(QStringLiteral("seq"), seq);
        }
    }
    Device *d = peer.device;
    if (!d || data.size() < 5 || NowMs() < d->downUntilMs)
        return;
    TavoEffect effect;
    if (data.left(5) != "CSYWE")
        return;
    const QByteArray reply = d->HandleTavo(data, effect);
    const QByteArray packet = encodeReply(*d, reply, requester, seq, true);
    if (!packet.isEmpty() && s->write(packet) == packet.size())
        ++m_stats.repliesSent;
}

} // namespace ardel::devsim
