#include "app/core/MacWriter.h"

#include "net/TextUtil.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoCommands.h"
#include "tavo/TavoWire.h"

#include <QTcpSocket>
#include <QTimer>

namespace ardel {

QByteArray DottedMacBytes(const QString &dottedMac)
{
    const QStringList parts = SplitText(dottedMac, QLatin1Char('.'));
    QByteArray out(6, '\0');
    for (int i = 0; i < 6 && i < parts.size(); ++i) {
        qint64 v = 0;
        if (ParseDecimal(parts.at(i), v))
            out[i] = static_cast<char>(v & 0xFF);
    }
    return out;
}

TMacWriter::TMacWriter(TExchangeContext &context, QObject *parent)
    : QObject(parent), m_context(context), m_socket(new QTcpSocket(this)), m_timer(new QTimer(this))
{
    m_socket->setObjectName(QStringLiteral("TAVOSocket1"));
    // A peer that streams without pause is read in bounded chunks.
    m_socket->setReadBufferSize(kReadBuffer);
    connect(m_socket, &QTcpSocket::connected, this, &TMacWriter::Connected);
    connect(m_socket, &QTcpSocket::readyRead, this, &TMacWriter::ReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TMacWriter::SocketError);
    m_timer->setObjectName(QStringLiteral("TcpTimer1"));
    m_timer->setInterval(kConnectionMs);
    connect(m_timer, &QTimer::timeout, this, &TMacWriter::TimeUp);
}

TMacWriter::~TMacWriter() = default;

void TMacWriter::Reset()
{
    m_framer.Reset();
    m_writeOk = false;
}

void TMacWriter::Abort()
{
    m_timer->stop();
    m_socket->abort();
}

bool TMacWriter::TimerRunning() const
{
    return m_timer->isActive();
}

int TMacWriter::TimerInterval() const
{
    return m_timer->interval();
}

int TMacWriter::SocketState() const
{
    return m_socket->state();
}

void TMacWriter::Prepare(const QString &ip, const QByteArray &mac)
{
    m_remote = ip;
    m_mac = mac;
    m_connected = false;
    m_answered = false;
}

void TMacWriter::Open(const QString &ip, const QByteArray &mac)
{
    Prepare(ip, mac);
    m_context.Host->WriteMessage(QStringLiteral("TCP kapcsolat megnyitása: ") + m_remote);
    // A connection still running from an earlier change is abandoned first, so
    // its late events cannot mix with this one.
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    m_socket->connectToHost(m_remote, wire::kTcpPort);
    m_timer->start();
    m_context.Host->SetBusy(true);
}

void TMacWriter::Connected()
{
    TTAVOProtocol &codec = *m_context.Codec;
    m_connected = true;
    m_context.Host->WriteMessage(QStringLiteral("A kapcsolat létrejött!"));
    quint8 seq = static_cast<quint8>(codec.CsomagSorszam + 1);
    if (seq > 200)
        seq = 1;
    codec.CsomagSorszam = seq;
    wire::ResetAddresses(codec);
    QByteArray command = QByteArrayLiteral("CSYWE");
    command.append(static_cast<char>(0xD3));
    command.append('\0');
    command.append(static_cast<char>(0x06));
    command.append(m_mac);
    QByteArray packet;
    codec.EncodeTAVOW(command, packet);
    SendFrame(packet);
    m_writeOk = false;
}

void TMacWriter::SendFrame(const QByteArray &packet)
{
    TExchangeHost &host = *m_context.Host;
    host.WriteMessage(QStringLiteral("TAVO parancsküldés: ") + m_remote);
    host.WriteMessage(QStringLiteral("TAVO csomagsorszám: ") + QString::number(m_context.Codec->CsomagSorszam));
    host.WriteMessage(QStringLiteral("TAVO csomag: ") + BytesToDecimalText(packet));
    m_socket->write(packet);
}

void TMacWriter::ReadyRead()
{
    ReadChunk(m_socket->readAll());
}

void TMacWriter::ReadChunk(const QByteArray &chunk)
{
    m_framer.Feed(chunk, [this](const QByteArray &frame) { HandleFrame(frame); });
    m_context.Host->WriteMessage(QStringLiteral("TAVO be: ") + FromCp1250(chunk));
}

void TMacWriter::HandleFrame(const QByteArray &frame)
{
    TExchangeHost &host = *m_context.Host;
    try {
        QByteArray data;
        m_context.Codec->DecodeTAVOW(frame, data);
        host.WriteMessage(QStringLiteral("TAVO data: ") + FromCp1250(data));
        if (data.size() == 6) {
            const quint8 result = static_cast<quint8>(data.at(5));
            host.WriteMessage(QStringLiteral("TAVO data: ") + QString::number(result));
            if (data.startsWith("ASYWE")) {
                m_answered = true;
                if (result == 0) {
                    host.WriteMessage(QStringLiteral("EEPROM írási hiba!"));
                } else {
                    host.WriteMessage(QStringLiteral("Az EEPROM írás sikeres."));
                    m_writeOk = true;
                }
            }
        }
    } catch (const std::exception &) {
        host.WriteMessage(QStringLiteral("TAVO dekódolási hiba!"));
    }
}

void TMacWriter::SocketError()
{
    // Deliberately silent: a failed attempt shows as the missing
    // "A kapcsolat létrejött!" line, and the timer ends the flow.
}

void TMacWriter::TimeUp()
{
    m_timer->stop();
    bool written = false;
    if (m_socket->state() == QAbstractSocket::ConnectedState) {
        m_socket->disconnectFromHost();
        written = m_writeOk;
    }
    m_socket->abort();
    m_context.Host->WriteMessage(QStringLiteral("TCP timer"));
    m_context.Host->SetBusy(false);
    emit finished(written);
}

} // namespace ardel
