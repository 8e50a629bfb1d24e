// The plain-text exchange on port 65535: the discovery refresh ("X", then
// "V", then "X" again after the first version answer, each followed by a
// 500 ms reply window) and the set-IP command with its answers.
#pragma once

#include "app/core/Exchanges.h"

#include <QObject>
#include <QString>

class QTimer;

namespace ardel {

class TDiscoveryExchange : public QObject {
    Q_OBJECT
public:
    static constexpr int kReplyWindowMs = 500;

    // What runs when the current reply window ends.
    enum class Step { None, SendVersionRequest, SendDiscovery, AskPassword, StartRefresh };

    explicit TDiscoveryExchange(TExchangeContext &context, QObject *parent = nullptr);
    ~TDiscoveryExchange() override;

    // Sends a command as cp1250 text to destination ("255.255.255.255": a
    // broadcast through every endpoint) and opens a reply window.
    void SendCommand(const QString &command, const QString &destination);
    // A datagram from a device's port 65535: it keeps the reply window open.
    void OnPlainDatagram(const QString &peerIP, const QByteArray &datagram);
    // What a reply means after the last command.
    void HandlePlainReply(const QString &peerIP, const QByteArray &datagram);
    // The reply window has ended: the pending step runs, or the exchange ends.
    void ReplyWindowEnded();

    void StartRefresh();
    void SendDiscovery();
    void SendVersionRequest();
    // The set-IP command of the device with the (dotted decimal) MAC address.
    void SendSetIp(const QString &mac, const QString &password, const QString &newAddress);
    static QString SetIpCommand(const QString &mac, const QString &password, const QString &newAddress);

    // The step after the current reply window is not taken (a caller that
    // refreshes once after many commands).
    void ClearPendingStep() { m_pending = Step::None; }
    // Forgets the last command and the pending step (start-up).
    void Reset();

    QString LastCommand() const { return m_lastCommand; }
    Step PendingStep() const { return m_pending; }
    static QString StepName(Step step);
    bool VersionPassDone() const { return m_versionPassDone; }
    bool ReplyWindowOpen() const;
    int ReplyWindowInterval() const;
    void StopReplyWindow();
    quint64 PlainDatagramsHandled() const { return m_plainHandled; }

signals:
    // The device asked for its password ("D" answer); the password step is
    // up to the caller. The busy state stays on.
    void passwordRequired();
    // An answer to the set-IP command: accepted ("A") or password asked ("D").
    void setIpAnswered(bool accepted);
    // The version request goes out; the table holds rows devices.
    void versionRequestSent(int rows);
    // The refresh's last reply window ended and the exchange is over.
    void finished();

private:
    void runStep(Step step);

    TExchangeContext &m_context;
    QTimer *m_replyTimer = nullptr;
    QString m_lastCommand;
    Step m_pending = Step::None;
    bool m_versionPassDone = false;
    quint64 m_plainHandled = 0;
};

} // namespace ardel
