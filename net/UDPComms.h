// The program's only way onto UDP: one endpoint per selected local address,
// each bound to that address and port 1010.
#pragma once

#include "net/DatagramSender.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ardel {

struct TConnectionParam {
    QString MACAddress;
    QString IPAddress;
    QString IPMask;
    QString Description;
};

// A selection check box as the endpoint manager sees it; the dialog that shows
// the boxes implements it with real widgets, tests with plain objects.
class TConnectionCheckBox {
public:
    virtual ~TConnectionCheckBox() = default;
    virtual bool IsChecked() const = 0;
    virtual void SetChecked(bool checked) = 0;
    virtual QString Caption() const = 0;
};

// Geometry the connection boxes copy from the dialog's template box.
struct TCheckBoxTemplate {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// The container the boxes are created in; it owns what it creates.
class TCheckBoxParent {
public:
    virtual ~TCheckBoxParent() = default;
    virtual TConnectionCheckBox *CreateCheckBox(const QString &caption, int left, int top, int width, int height) = 0;
};

using TUDPReadEvent = std::function<void(const QByteArray &data, const QString &peerIP, quint16 peerPort)>;
using TMessageEvent = std::function<void(const QString &text)>;

class TUDPComms : public QObject, public TDatagramSender {
    Q_OBJECT
public:
    static constexpr quint16 kLocalPort = 1010;
    static constexpr qint64 kMaxDatagram = 8192;
    // SO_RCVBUF of every endpoint: large enough that a burst of thousands of
    // discovery replies is not dropped by the kernel before the event loop
    // gets to them.
    static constexpr int kReceiveBuffer = 16 * 1024 * 1024;
    // Longest stretch the receive handler keeps the main thread in one go.
    static constexpr qint64 kReadSliceMs = 20;
    // Datagrams handled in one slice from which it counts as a burst, worth
    // reading on within the slice.
    static constexpr size_t kBurst = 8;
    // Datagrams of one endpoint read from its socket but not yet handed to
    // the handler; past this the rest waits in the kernel's buffer.
    static constexpr size_t kMaxQueued = 2048;
    static constexpr qint64 kMaxQueuedBytes = 2 * 1024 * 1024;
    // How often a socket with datagrams waiting is looked at besides readyRead.
    static constexpr int kReadCheckMs = 100;

    // memo: appends one line to the message pane; used when no OnMessage is set.
    explicit TUDPComms(TMessageEvent memo = {}, QObject *parent = nullptr);
    ~TUDPComms() override;

    void SetCheckBoxParent(TCheckBoxParent *parent) { CheckBoxParent = parent; }
    void SetTemplateCheckBox(std::optional<TCheckBoxTemplate> tpl) { TemplateCheckBox = tpl; }
    void SetOnMessage(TMessageEvent handler) { OnMessage = std::move(handler); }
    void SetOnUDPRead(TUDPReadEvent handler);

    void ReadConnections();
    void BuildCheckBoxes();
    void CheckConnection(int index);
    int CheckedCount() const;
    void MarkOpenConnections();
    void OpenServers();
    void CloseServers();
    void BroadcastText(const QByteArray &text, quint16 port) override;
    void SendText(const QString &host, const QByteArray &text, quint16 port) override;
    void LogMessage(const QString &text);

    const std::vector<TConnectionParam> &Connections() const { return m_connections; }
    const std::vector<TConnectionCheckBox *> &CheckBoxes() const { return m_checkBoxes; }
    int ServerCount() const { return static_cast<int>(m_servers.size()); }
    int OpenServerCount() const;
    // The local address of the endpoint whose datagram OnUDPRead is handling
    // (empty outside the handler).
    QString ReceivingAddress() const { return m_receiving; }
    // Datagrams cut to the 8192-byte read size so far.
    quint64 TruncatedDatagrams() const { return m_truncated; }
    // Datagrams read but not yet handed to OnUDPRead.
    size_t QueuedDatagrams() const;
    // Whether an endpoint's socket may send to broadcast addresses right now
    // (-1: no such open endpoint).
    int EndpointBroadcastOption(int index) const;

private:
    // One datagram between the socket and the handler.
    struct Received {
        QByteArray Data;
        QString Peer;
        quint16 PeerPort = 0;
    };

    struct Endpoint {
        QString Name;
        int Tag = -1;
        QString Address;
        quint16 Port = kLocalPort;
        QPointer<QUdpSocket> Socket;
        QString LocalAddress;
        // Read, not yet handled, in arrival order.
        std::deque<Received> Queue;
        qint64 QueuedBytes = 0;
        // Datagrams were left in the socket because the queue was full.
        bool ReadingHeld = false;
    };

    bool openEndpoint(Endpoint &ep);
    void closeEndpoint(Endpoint &ep);
    // knownWaiting: a datagram was just seen waiting on the socket.
    void readPending(Endpoint *ep, bool knownWaiting = false);
    bool anyQueued() const;
    void readWhatIsLeft();
    void postDispatch();
    void dispatchPending();
    void defaultUDPRead(const QByteArray &data, const QString &peer, quint16 port);

    TMessageEvent MessageMemo;
    TMessageEvent OnMessage;
    TUDPReadEvent OnUDPRead;
    TCheckBoxParent *CheckBoxParent = nullptr;
    std::optional<TCheckBoxTemplate> TemplateCheckBox;
    std::vector<TConnectionParam> m_connections;
    std::vector<TConnectionCheckBox *> m_checkBoxes;
    std::vector<std::unique_ptr<Endpoint>> m_servers;
    quint64 m_truncated = 0;
    QString m_receiving;
    bool m_dispatchPosted = false;
    // The endpoint whose queue is served next: one datagram of each in turn,
    // so a flooded endpoint cannot hold back another one's answers.
    size_t m_nextQueue = 0;
    QTimer *m_readCheck = nullptr;
};

} // namespace ardel
