#include "net/DatagramBatch.h"

#include <QUdpSocket>

#include <algorithm>
#include <array>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <vector>

namespace ardel {

namespace {

// The sender as the receive path keeps it: IPv4 (IPv4-mapped included) as a
// number, anything else as an address.
void SetSender(TWaitingDatagram &w, const QHostAddress &sender, quint16 port)
{
    bool ok = false;
    w.V4 = sender.toIPv4Address(&ok);
    w.IsV4 = ok;
    if (!ok)
        w.Other = sender;
    w.Port = port;
}

} // namespace

qsizetype ReadWaitingDatagrams(QUdpSocket &socket, qint64 maxSize, const std::function<qsizetype()> &room,
                               const std::function<void(TWaitingDatagram &&)> &put, bool *held, bool knownWaiting)
{
    *held = false;
    if (socket.state() != QAbstractSocket::BoundState || (!knownWaiting && !socket.hasPendingDatagrams()))
        return 0;
    // The first through Qt: reading through it is what makes Qt watch the
    // socket again after a readyRead. One byte more than maxSize tells a
    // longer datagram without asking the kernel for its size first.
    thread_local QByteArray firstBuffer;
    if (firstBuffer.size() < maxSize + 1)
        firstBuffer.resize(maxSize + 1);
    QHostAddress sender;
    quint16 senderPort = 0;
    const qint64 got = socket.readDatagram(firstBuffer.data(), maxSize + 1, &sender, &senderPort);
    if (got < 0)
        return 0;
    qsizetype count = 0;
    {
        TWaitingDatagram w;
        w.Data = QByteArray(firstBuffer.constData(), qsizetype(std::min(got, maxSize)));
        w.Truncated = got > maxSize;
        SetSender(w, sender, senderPort);
        put(std::move(w));
        ++count;
    }

    // The rest straight from the descriptor, up to 64 per recvmmsg.
    const qintptr fd = socket.socketDescriptor();
    if (fd < 0)
        return count;
    constexpr int kBatch = 64;
    thread_local std::vector<char> buffer;
    const size_t slot = size_t(maxSize);
    if (buffer.size() < slot * kBatch)
        buffer.resize(slot * kBatch);
    std::array<iovec, kBatch> iov{};
    std::array<mmsghdr, kBatch> msgs{};
    std::array<sockaddr_storage, kBatch> from{};
    for (;;) {
        const int want = int(std::min<qsizetype>(kBatch, room()));
        if (want <= 0) {
            *held = true;
            return count;
        }
        for (int k = 0; k < want; ++k) {
            iov[size_t(k)] = {buffer.data() + size_t(k) * slot, slot};
            msgs[size_t(k)] = mmsghdr{};
            msgs[size_t(k)].msg_hdr.msg_iov = &iov[size_t(k)];
            msgs[size_t(k)].msg_hdr.msg_iovlen = 1;
            msgs[size_t(k)].msg_hdr.msg_name = &from[size_t(k)];
            msgs[size_t(k)].msg_hdr.msg_namelen = sizeof(sockaddr_storage);
        }
        const int n = ::recvmmsg(int(fd), msgs.data(), unsigned(want), MSG_DONTWAIT, nullptr);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return count;
        for (int k = 0; k < n; ++k) {
            const mmsghdr &m = msgs[size_t(k)];
            TWaitingDatagram w;
            w.Data = QByteArray(buffer.data() + size_t(k) * slot, qsizetype(std::min<size_t>(m.msg_len, slot)));
            w.Truncated = (m.msg_hdr.msg_flags & MSG_TRUNC) != 0;
            const auto *sa = reinterpret_cast<const sockaddr *>(&from[size_t(k)]);
            if (sa->sa_family == AF_INET) {
                const auto *in = reinterpret_cast<const sockaddr_in *>(sa);
                w.IsV4 = true;
                w.V4 = ntohl(in->sin_addr.s_addr);
                w.Port = ntohs(in->sin_port);
            } else {
                SetSender(w, QHostAddress(sa),
                          sa->sa_family == AF_INET6 ? ntohs(reinterpret_cast<const sockaddr_in6 *>(sa)->sin6_port) : 0);
            }
            put(std::move(w));
            ++count;
        }
        if (n < want)
            return count;
    }
}

} // namespace ardel
