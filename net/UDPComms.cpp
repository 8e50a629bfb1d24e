#include "net/UDPComms.h"

#include "net/DatagramBatch.h"
#include "net/IPInfo.h"
#include "net/SocketBroadcast.h"
#include "net/TextUtil.h"

#include <QElapsedTimer>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QVariant>

#include <utility>

namespace ardel {

TUDPComms::TUDPComms(TMessageEvent memo, QObject *parent) : QObject(parent), MessageMemo(std::move(memo))
{
    OnUDPRead = [this](const QByteArray &d, const QString &p, quint16 port) { defaultUDPRead(d, p, port); };
    // Qt stops watching a socket for good when a readyRead passes without a
    // read before the next one, which a held or briefly empty socket can run
    // into under load; a socket with datagrams waiting and nothing queued is
    // read from here as well, so it can never fall silent.
    m_readCheck = new QTimer(this);
    m_readCheck->setInterval(kReadCheckMs);
    connect(m_readCheck, &QTimer::timeout, this, &TUDPComms::readWhatIsLeft);
}

TUDPComms::~TUDPComms()
{
    m_connections.clear();
    m_checkBoxes.clear();
    CloseServers();
    OnMessage = nullptr;
}

void TUDPComms::SetOnUDPRead(TUDPReadEvent handler)
{
    // Endpoints call through this member, so existing ones follow at once.
    OnUDPRead = std::move(handler);
}

void TUDPComms::LogMessage(const QString &text)
{
    if (OnMessage)
        OnMessage(text);
    else if (MessageMemo)
        MessageMemo(text);
}

void TUDPComms::defaultUDPRead(const QByteArray &data, const QString &peer, quint16 port)
{
    LogMessage(QStringLiteral("Received \"") + FromCp1250(data) + QStringLiteral("\" from ") + peer + QStringLiteral(" on port ")
               + QString::number(port));
}

void TUDPComms::ReadConnections()
{
    TIPInfo info;
    m_connections.clear();
    for (const auto &adapter : info.Adapters) {
        for (const TInfoIPAddress &pair : adapter->IPAddresses) {
            const QStringList pieces = SplitText(pair.AsText(), QLatin1Char('/'));
            TConnectionParam c;
            c.MACAddress = adapter->MACAddress;
            c.IPAddress = pieces.value(0);
            c.IPMask = pieces.value(1);
            c.Description = adapter->Description;
            m_connections.push_back(c);
            LogMessage(c.MACAddress + QStringLiteral(" : ") + c.IPAddress);
            LogMessage(c.IPMask);
            LogMessage(c.Description);
        }
    }
}

void TUDPComms::BuildCheckBoxes()
{
    if (!CheckBoxParent || !TemplateCheckBox)
        return;
    m_checkBoxes.clear();
    const TCheckBoxTemplate &t = *TemplateCheckBox;
    for (size_t k = 0; k < m_connections.size(); ++k) {
        const TConnectionParam &c = m_connections[k];
        const QString caption = c.Description + QStringLiteral(" - ") + c.IPAddress + QStringLiteral(" - ") + c.IPMask
                                + QStringLiteral(" - ") + c.MACAddress;
        TConnectionCheckBox *box =
            CheckBoxParent->CreateCheckBox(caption, t.Left, t.Top + static_cast<int>(k) * t.Height + 5, t.Width, t.Height);
        if (box)
            box->SetChecked(false);
        m_checkBoxes.push_back(box);
    }
}

void TUDPComms::CheckConnection(int index)
{
    if (index == 255) {
        for (TConnectionCheckBox *b : m_checkBoxes)
            if (b)
                b->SetChecked(true);
        return;
    }
    if (index >= 0 && static_cast<size_t>(index) < m_checkBoxes.size() && m_checkBoxes[static_cast<size_t>(index)])
        m_checkBoxes[static_cast<size_t>(index)]->SetChecked(true);
}

int TUDPComms::CheckedCount() const
{
    int n = 0;
    for (const TConnectionCheckBox *b : m_checkBoxes)
        if (b && b->IsChecked())
            ++n;
    return n;
}

void TUDPComms::MarkOpenConnections()
{
    for (TConnectionCheckBox *b : m_checkBoxes)
        if (b)
            b->SetChecked(false);
    for (const auto &ep : m_servers)
        if (ep->Tag >= 0 && static_cast<size_t>(ep->Tag) < m_checkBoxes.size() && m_checkBoxes[static_cast<size_t>(ep->Tag)])
            m_checkBoxes[static_cast<size_t>(ep->Tag)]->SetChecked(true);
}

int TUDPComms::OpenServerCount() const
{
    int n = 0;
    for (const auto &ep : m_servers)
        if (ep->Socket && ep->Socket->state() == QAbstractSocket::BoundState)
            ++n;
    return n;
}

bool TUDPComms::openEndpoint(Endpoint &ep)
{
    closeEndpoint(ep);
    const QHostAddress addr(ep.Address);
    if (addr.isNull() || addr.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    auto *sock = new QUdpSocket(this);
    // A second bind of the same address must fail: with a shared address a
    // second process would silently take every reply.
    if (!sock->bind(addr, ep.Port, QAbstractSocket::DontShareAddress)) {
        delete sock;
        return false;
    }
    sock->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, QVariant(kReceiveBuffer));
    // Only BroadcastText may reach a broadcast address, and only for its own send.
    SetSocketBroadcast(sock->socketDescriptor(), false);
    Endpoint *self = &ep;
    connect(sock, &QUdpSocket::readyRead, this, [this, self] { readPending(self, true); });
    ep.Socket = sock;
    ep.LocalAddress = sock->localAddress().toString();
    return true;
}

void TUDPComms::closeEndpoint(Endpoint &ep)
{
    if (!ep.Socket)
        return;
    QUdpSocket *sock = ep.Socket;
    ep.Socket = nullptr;
    sock->disconnect(this);
    sock->close();
    // The socket may be inside its own readyRead handler (a modal dialog can
    // run from there), so it is released once control returns to the loop.
    sock->deleteLater();
    // What it had received goes with it.
    ep.Queue.clear();
    ep.QueuedBytes = 0;
    ep.ReadingHeld = false;
}

void TUDPComms::readPending(Endpoint *ep, bool knownWaiting)
{
    // Datagrams are only read here and handed over from a queued call: a
    // handler may open a modal dialog, and Qt never signals readyRead for a
    // socket whose readyRead handler is still on the stack, so handling them
    // inside this signal would leave the socket unread until the dialog closed.
    QUdpSocket *sock = ep->Socket;
    ep->ReadingHeld = false;
    if (!sock)
        return;
    // Past the bound the kernel keeps the rest and the dispatch reads on once
    // the queue drains. At least one is read all the same: Qt stops watching a
    // socket that signalled readyRead and was not read before its next signal,
    // and then nothing would signal again.
    const auto room = [ep]() -> qsizetype {
        if (ep->QueuedBytes >= kMaxQueuedBytes || ep->Queue.size() >= kMaxQueued)
            return 0;
        return qsizetype(kMaxQueued - ep->Queue.size());
    };
    const auto put = [this, ep](TWaitingDatagram &&d) {
        if (d.Truncated)
            ++m_truncated;
        Received r;
        r.Data = std::move(d.Data);
        r.Peer = d.IsV4 ? Ipv4Text(d.V4) : d.Other.toString();
        r.PeerPort = d.Port;
        ep->QueuedBytes += r.Data.size();
        ep->Queue.push_back(std::move(r));
    };
    bool held = false;
    ReadWaitingDatagrams(*sock, kMaxDatagram, room, put, &held, knownWaiting);
    ep->ReadingHeld = held;
    postDispatch();
}

bool TUDPComms::anyQueued() const
{
    for (const auto &ep : m_servers)
        if (!ep->Queue.empty())
            return true;
    return false;
}

size_t TUDPComms::QueuedDatagrams() const
{
    size_t n = 0;
    for (const auto &ep : m_servers)
        n += ep->Queue.size();
    return n;
}

void TUDPComms::readWhatIsLeft()
{
    for (size_t i = 0; i < m_servers.size(); ++i) {
        Endpoint *ep = m_servers[i].get();
        if (ep->Queue.empty() && ep->Socket && ep->Socket->hasPendingDatagrams())
            readPending(ep, true);
    }
}

void TUDPComms::postDispatch()
{
    if (m_dispatchPosted || !anyQueued())
        return;
    m_dispatchPosted = true;
    QMetaObject::invokeMethod(this, &TUDPComms::dispatchPending, Qt::QueuedConnection);
}

void TUDPComms::dispatchPending()
{
    m_dispatchPosted = false;
    // A flood must not keep the main thread here: after a slice the rest
    // waits for the next turn of the event loop, so timers, the other
    // sockets and the user get their turn.
    QElapsedTimer slice;
    slice.start();
    size_t handled = 0;
    while (slice.elapsed() < kReadSliceMs) {
        // The next endpoint in turn that has something; a handler may have
        // closed or replaced the endpoints, so nothing is kept across it.
        Endpoint *ep = nullptr;
        for (size_t k = 0; k < m_servers.size() && !ep; ++k) {
            Endpoint *candidate = m_servers[(m_nextQueue + k) % m_servers.size()].get();
            if (!candidate->Queue.empty()) {
                ep = candidate;
                m_nextQueue = (m_nextQueue + k + 1) % m_servers.size();
            }
        }
        if (!ep) {
            // What arrived while the queue was handled is read within the
            // slice, not after another turn of the event loop: under a flood
            // that turn (a poll, the socket's notification) cost as much as
            // the datagrams it brought. A request answered by one reply (a
            // TAVOW step) is no flood: its next reply comes after the next
            // request, and looking would cost a system call per endpoint.
            if (handled < kBurst)
                break;
            readWhatIsLeft();
            if (!anyQueued())
                break;
            continue;
        }
        Received r = std::move(ep->Queue.front());
        ep->Queue.pop_front();
        ep->QueuedBytes -= r.Data.size();
        if (ep->ReadingHeld && ep->Queue.size() < kMaxQueued / 2)
            readPending(ep);
        // The handler may run a modal dialog: what is still queued, and what
        // arrives meanwhile, is handed over by the dialog's own event loop.
        postDispatch();
        ++handled;
        if (OnUDPRead) {
            const QString outer = std::exchange(m_receiving, ep->LocalAddress);
            OnUDPRead(r.Data, r.Peer, r.PeerPort);
            m_receiving = outer;
        }
    }
    if (!anyQueued() && handled >= kBurst)
        readWhatIsLeft();
    postDispatch();
}

void TUDPComms::OpenServers()
{
    CloseServers();
    QString stepMark;
    for (size_t i = 0; i < m_checkBoxes.size(); ++i) {
        TConnectionCheckBox *box = m_checkBoxes[i];
        if (!box || !box->IsChecked())
            continue;
        stepMark = QStringLiteral("1");
        auto ep = std::make_unique<Endpoint>();
        const int n = static_cast<int>(m_servers.size());
        ep->Name = QStringLiteral("UDPServer_%1_%2").arg(i).arg(n);
        Endpoint &ref = *ep;
        m_servers.push_back(std::move(ep));
        stepMark = QStringLiteral("2"); // the receive callback is this manager's OnUDPRead
        stepMark = QStringLiteral("3");
        stepMark = QStringLiteral("4");
        ref.Address = i < m_connections.size() ? m_connections[i].IPAddress : QString();
        stepMark = QStringLiteral("5");
        ref.Port = kLocalPort;
        stepMark = QStringLiteral("6");
        ref.Tag = static_cast<int>(i);
        LogMessage(QStringLiteral("Host: ") + QHostInfo::localHostName());
        if (!openEndpoint(ref)) {
            LogMessage(QStringLiteral("Hálózat indítási hiba: ") + box->Caption() + QStringLiteral(" ,") + stepMark);
            continue;
        }
        LogMessage(QStringLiteral("Local address: ") + ref.Socket->localAddress().toString());
    }
    if (!m_servers.empty())
        m_readCheck->start();
}

void TUDPComms::CloseServers()
{
    m_readCheck->stop();
    for (auto &ep : m_servers)
        closeEndpoint(*ep);
    m_servers.clear();
    m_nextQueue = 0;
}

int TUDPComms::EndpointBroadcastOption(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= m_servers.size() || !m_servers[static_cast<size_t>(index)]->Socket)
        return -1;
    return SocketBroadcastEnabled(m_servers[static_cast<size_t>(index)]->Socket->socketDescriptor()) ? 1 : 0;
}

void TUDPComms::BroadcastText(const QByteArray &text, quint16 port)
{
    // Bound to one local address, the datagram leaves through the interface
    // that carries it, default route or not.
    for (auto &ep : m_servers) {
        if (!ep->Socket && !openEndpoint(*ep))
            continue;
        const qintptr fd = ep->Socket->socketDescriptor();
        SetSocketBroadcast(fd, true);
        ep->Socket->writeDatagram(text, QHostAddress::Broadcast, port);
        SetSocketBroadcast(fd, false);
    }
}

void TUDPComms::SendText(const QString &host, const QByteArray &text, quint16 port)
{
    const QHostAddress dest(host);
    if (dest.isNull())
        return;
    for (auto &ep : m_servers) {
        if (!ep->Socket && !openEndpoint(*ep))
            continue;
        ep->Socket->writeDatagram(text, dest, port);
    }
}

} // namespace ardel
