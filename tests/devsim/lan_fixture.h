// Workstation-side helpers for the emulator's tests: a UDP client on one of
// the workstation addresses, TAVO request/reply coding, config builders.
#pragma once

#include "tests/common/TestLan.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUdpSocket>

#include <cstdint>
#include <memory>

namespace devsimtest {

struct Reply {
    QString from;     // sender address
    quint16 port = 0; // sender port
    QByteArray bytes;
    qint64 atMs = 0; // since the client was created
};

class LanClient {
public:
    explicit LanClient(const char *localAddr = testlan::kWsAddr0);
    bool ok() const { return m_ok; }
    void broadcast(const QByteArray &payload, quint16 port);
    void sendTo(const QString &ip, quint16 port, const QByteArray &payload);
    qint64 nowMs() const;
    // Waits until count replies arrived (or timeoutMs passed) and takes them.
    QList<Reply> waitFor(int count, int timeoutMs);
    // Waits quietMs and takes whatever arrived.
    QList<Reply> collect(int quietMs);

private:
    std::unique_ptr<QUdpSocket> m_sock;
    QList<Reply> m_replies;
    qint64 m_start = 0;
    bool m_ok = false;
};

// One device entry of a config, with the keys a test cares about.
QJsonObject device(const QString &ip, const QJsonObject &extra = {});
QJsonObject config(const QList<QJsonObject> &devices, int answerSpreadMs = 0);

// A TAVOW request as the program sends it (sender 250).
QByteArray tavoRequest(std::uint32_t recipient, const QByteArray &data, std::uint8_t seq = 1);

struct TavoReply {
    QByteArray data;
    std::uint32_t cimzett = 0;
    std::uint32_t felado = 0;
    std::uint8_t seq = 0;
    int error = -1;
};
// Decodes in the program's mode (TAVO first, then TAVOW).
TavoReply decodeTavo(const QByteArray &packet);

QList<Reply> from(const QList<Reply> &replies, const QString &ip);

} // namespace devsimtest
