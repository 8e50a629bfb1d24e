#include "tests/net/netns_fixture.h"

#include <QElapsedTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace nstest {

int DeviceUdpSocket(const char *addr, quint16 port, const char *ifname)
{
    const char *ns = std::getenv("ARDEL_DEV_NS");
    if (!ns)
        return -1;
    int result = -1;
    std::thread t([&] {
        const std::string path = std::string("/run/netns/") + ns;
        const int nsfd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (nsfd < 0 || ::setns(nsfd, CLONE_NEWNET) != 0) {
            if (nsfd >= 0)
                ::close(nsfd);
            return;
        }
        ::close(nsfd);
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (ifname && ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, ifname, static_cast<socklen_t>(std::strlen(ifname))) != 0) {
            ::close(fd);
            return;
        }
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        ::inet_pton(AF_INET, addr, &sa.sin_addr);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
            ::close(fd);
            return;
        }
        result = fd;
    });
    t.join();
    return result;
}

std::vector<Datagram> ReceiveAll(int fd, int ms)
{
    std::vector<Datagram> out;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const qint64 left = ms - timer.elapsed();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char buf[65536];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr *>(&from), &len);
        if (n < 0)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        out.push_back({QByteArray(buf, n), QString::fromLatin1(text), ntohs(from.sin_port)});
    }
    return out;
}

bool SendTo(int fd, const char *addr, quint16 port, const QByteArray &data)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    ::inet_pton(AF_INET, addr, &sa.sin_addr);
    return ::sendto(fd, data.constData(), static_cast<size_t>(data.size()), 0, reinterpret_cast<sockaddr *>(&sa), sizeof sa)
           == data.size();
}

} // namespace nstest
