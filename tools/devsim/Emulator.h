// Plays every configured device from one process: one UDP socket per port
// (65535 plain, 65500 TAVO) answering from each device's own address, one TCP
// listener on port 1001, and a timer queue for late answers. Never blocks.
#pragma once

#include "tavo/TAVOProtocol.h"
#include "tavo/TavoStreamFramer.h"
#include "tavo/TavoWire.h"
#include "tools/devsim/Device.h"
#include "tools/devsim/DevsimConfig.h"
#include "tools/devsim/Journal.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <netinet/in.h>

#include <deque>
#include <functional>
#include <memory>
#include <queue>
#include <random>
#include <vector>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

namespace ardel::devsim {

using wire::kPlainPort;
using wire::kTavoPort;
using wire::kTcpPort;

struct Stats {
    quint64 udpReceived = 0;
    quint64 tcpChunks = 0;
    quint64 repliesSent = 0;     // datagrams the kernel accepted, plus TCP answers
    quint64 sendErrors = 0;      // sends that failed for good (not retried)
    quint64 requestsDropped = 0; // ignored on purpose ("drop")
    quint64 repliesPending = 0;  // scheduled or queued, not yet sent
};

class Emulator : public QObject {
    Q_OBJECT
public:
    // Always on the devices' real ports: the test LAN's namespaces keep it apart.
    Emulator(SimConfig cfg, Journal *journal, QObject *parent = nullptr);
    ~Emulator() override;

    // Binds every socket and sorts the devices onto the segments. On success
    // summary describes what is played.
    bool Start(QString &error, QString &summary);
    Stats GetStats() const;
    qint64 NowMs() const { return m_clock.elapsed(); }

private:
    struct Segment {
        QString name;
        int ifindex = 0;
        std::uint32_t addr = 0, mask = 0, bcast = 0;
        std::vector<Device *> devices;
    };
    struct Incoming {
        int fd = -1;
        std::uint32_t src = 0;
        quint16 srcPort = 0;
        std::uint32_t dst = 0;
        quint16 dstPort = 0;
        int ifindex = 0;
        QByteArray payload;
    };
    struct OutDatagram {
        int fd = -1;
        std::uint32_t src = 0;
        sockaddr_in dst{};
        QByteArray payload;
    };
    struct Timed {
        qint64 due;
        quint64 seq;
        std::function<void()> fn;
        bool operator>(const Timed &o) const { return due != o.due ? due > o.due : seq > o.seq; }
    };
    struct TcpPeer {
        std::uint32_t localIp = 0;
        QString src, dst;
        TTavoStreamFramer framer;
        qint64 lastActivityMs = 0;
        Device *device = nullptr;
    };

    bool openUdp(quint16 port, int &fd, QString &error);
    bool loadSegments(QString &error);
    void readDatagrams(int fd);
    void handlePlain(const Incoming &in);
    void handleTavo(const Incoming &in);
    int segmentOf(const Incoming &in) const;
    bool isBroadcast(const Incoming &in) const;
    std::vector<Device *> targets(const Incoming &in) const;
    bool answers(Device *d);
    int spread();
    void queueReply(int fd, std::uint32_t src, std::uint32_t dst, quint16 dstPort, const QByteArray &payload, int delayMs);
    // Builds the payload only when it is due, so that a broadcast to
    // thousands of devices costs little at once and the answers keep time.
    void queueReply(int fd, std::uint32_t src, std::uint32_t dst, quint16 dstPort, std::function<QByteArray()> make, int delayMs);
    void send(OutDatagram &&d);
    bool trySend(const OutDatagram &d); // false: retry later
    void drainSendQueue();
    void schedule(qint64 delayMs, std::function<void()> fn);
    void runDue();
    void moveDevice(Device *d, std::uint32_t newIp);
    QByteArray encodeReply(const Device &d, const QByteArray &data, std::uint32_t recipient, std::uint8_t seq, bool tavow);
    QString ifaceName(int ifindex) const;

    void onNewConnection();
    void onTcpReadyRead(QTcpSocket *s);
    void onTcpGone(QTcpSocket *s);
    void handleTcpFrame(QTcpSocket *s, TcpPeer &peer, const QByteArray &frame, QJsonObject &entry, bool &first);
    void sweepIdleTcp();

    SimConfig m_cfg;
    Journal *m_journal;
    QElapsedTimer m_clock;
    std::mt19937 m_rng;
    std::vector<std::unique_ptr<Device>> m_devices;
    QHash<std::uint32_t, QVector<Device *>> m_byIp;
    std::vector<Segment> m_segments;
    QHash<int, int> m_segmentByIfindex;

    int m_plainFd = -1;
    int m_tavoFd = -1;
    QSocketNotifier *m_plainReader = nullptr;
    QSocketNotifier *m_tavoReader = nullptr;
    QSocketNotifier *m_plainWriter = nullptr;
    QSocketNotifier *m_tavoWriter = nullptr;
    QTimer m_retryTimer;
    std::deque<OutDatagram> m_sendQueue;

    std::priority_queue<Timed, std::vector<Timed>, std::greater<Timed>> m_timed;
    quint64 m_timedSeq = 0;
    QTimer m_timer;
    qint64 m_armedDue = -1;

    QTcpServer *m_tcp = nullptr;
    QHash<QTcpSocket *, TcpPeer> m_peers;
    QTimer m_tcpSweep;

    TTAVOProtocol m_codec;
    Stats m_stats;
    int m_errorLines = 0;
};

} // namespace ardel::devsim
