#include "tests/devsim/lan_fixture.h"

#include "tavo/TAVOProtocol.h"

#include <QDateTime>
#include <QJsonArray>
#include <QNetworkDatagram>

namespace devsimtest {

LanClient::LanClient(const char *localAddr) : m_sock(std::make_unique<QUdpSocket>())
{
    m_start = QDateTime::currentMSecsSinceEpoch();
    m_ok = m_sock->bind(QHostAddress(QString::fromLatin1(localAddr)), 0);
    m_sock->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
    QObject::connect(m_sock.get(), &QUdpSocket::readyRead, m_sock.get(), [this] {
        while (m_sock->hasPendingDatagrams()) {
            const QNetworkDatagram d = m_sock->receiveDatagram();
            m_replies.append(Reply{d.senderAddress().toString(), quint16(d.senderPort()), d.data(), nowMs()});
        }
    });
}

qint64 LanClient::nowMs() const
{
    return QDateTime::currentMSecsSinceEpoch() - m_start;
}

void LanClient::broadcast(const QByteArray &payload, quint16 port)
{
    m_sock->writeDatagram(payload, QHostAddress::Broadcast, port);
}

void LanClient::sendTo(const QString &ip, quint16 port, const QByteArray &payload)
{
    m_sock->writeDatagram(payload, QHostAddress(ip), port);
}

QList<Reply> LanClient::waitFor(int count, int timeoutMs)
{
    testlan::pumpUntil([&] { return m_replies.size() >= count; }, timeoutMs);
    QList<Reply> out;
    out.swap(m_replies);
    return out;
}

QList<Reply> LanClient::collect(int quietMs)
{
    testlan::pumpFor(quietMs);
    QList<Reply> out;
    out.swap(m_replies);
    return out;
}

QJsonObject device(const QString &ip, const QJsonObject &extra)
{
    QJsonObject o{{QStringLiteral("ip"), ip}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        o.insert(it.key(), it.value());
    return o;
}

QJsonObject config(const QList<QJsonObject> &devices, int answerSpreadMs)
{
    QJsonArray arr;
    for (const QJsonObject &d : devices)
        arr.append(d);
    return QJsonObject{{QStringLiteral("answer_spread_ms"), answerSpreadMs}, {QStringLiteral("devices"), arr}};
}

QByteArray tavoRequest(std::uint32_t recipient, const QByteArray &data, std::uint8_t seq)
{
    ardel::TTAVOProtocol codec;
    codec.Cimzett = recipient;
    codec.Felado = 250;
    codec.Felado_rovid_cim = 250;
    codec.CsomagSorszam = seq;
    QByteArray packet;
    codec.EncodeTAVOW(data, packet);
    return packet;
}

TavoReply decodeTavo(const QByteArray &packet)
{
    ardel::TTAVOProtocol codec;
    codec.TAVOMode = ardel::TTAVOMode::PMDecodeBothEncodeTAVOW;
    TavoReply r;
    codec.Decode(packet, r.data);
    r.error = codec.DecodeError();
    r.cimzett = codec.Cimzett;
    r.felado = codec.Felado;
    r.seq = codec.CsomagSorszam;
    return r;
}

QList<Reply> from(const QList<Reply> &replies, const QString &ip)
{
    QList<Reply> out;
    for (const Reply &r : replies)
        if (r.from == ip)
            out.append(r);
    return out;
}

} // namespace devsimtest
