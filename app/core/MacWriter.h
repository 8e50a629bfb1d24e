// The short TCP connection to a device's port 1001 that writes a new MAC
// address into its EEPROM ("CSYWE" in a TAVOW frame, answered by "ASYWE"),
// ended by a 2 s timer either way.
#pragma once

#include "app/core/Exchanges.h"
#include "tavo/TavoStreamFramer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpSocket;
class QTimer;

namespace ardel {

class TMacWriter : public QObject {
    Q_OBJECT
public:
    static constexpr int kConnectionMs = 2000;
    // Bytes of the connection read at a time.
    static constexpr qint64 kReadBuffer = 64 * 1024;

    explicit TMacWriter(TExchangeContext &context, QObject *parent = nullptr);
    ~TMacWriter() override;

    // Names the device and the MAC to write, without connecting.
    void Prepare(const QString &ip, const QByteArray &mac);
    // Prepare, then connects to ip's port 1001 to write mac (six bytes) once connected.
    void Open(const QString &ip, const QByteArray &mac);
    void Connected();
    void SendFrame(const QByteArray &packet);
    void ReadyRead();
    // The framing of ReadyRead on one chunk of the stream, without the socket.
    void ReadChunk(const QByteArray &chunk);
    void HandleFrame(const QByteArray &frame);
    void SocketError();
    // The connection's time is up: it is closed and the flow ends.
    void TimeUp();

    void Reset();
    void Abort();

    QString RemoteAddress() const { return m_remote; }
    bool WriteOk() const { return m_writeOk; }
    // The connection of the last Open was established.
    bool WasConnected() const { return m_connected; }
    // The device answered the write ("ASYWE"), either way.
    bool Answered() const { return m_answered; }
    bool TimerRunning() const;
    int TimerInterval() const;
    int SocketState() const;
    const TTavoStreamFramer &Framer() const { return m_framer; }
    QTcpSocket *Socket() const { return m_socket; }

signals:
    // The flow has ended (busy already off); written: the device confirmed
    // the EEPROM write on a connection that was still open.
    void finished(bool written);

private:
    TExchangeContext &m_context;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_timer = nullptr;
    TTavoStreamFramer m_framer;
    QString m_remote;
    QByteArray m_mac;
    bool m_writeOk = false;
    bool m_connected = false;
    bool m_answered = false;
};

// "10.20.30.40.50.255" as six bytes; a piece that is not a number 0..255
// reads as 0, missing pieces too (the table holds only valid ones).
QByteArray DottedMacBytes(const QString &dottedMac);

} // namespace ardel
