#include "tools/cli/CliSession.h"

#include "log/MessageLog.h"
#include "log/NaploComponent.h"
#include "net/TextUtil.h"
#include "net/UDPComms.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoCommandSender.h"
#include "tavo/TavoWire.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <vector>

namespace ardel {

namespace {

// The endpoints are chosen by check boxes in the window; here they are plain flags.
class CliCheckBox final : public TConnectionCheckBox {
public:
    explicit CliCheckBox(QString caption) : m_caption(std::move(caption)) {}
    bool IsChecked() const override { return m_checked; }
    void SetChecked(bool checked) override { m_checked = checked; }
    QString Caption() const override { return m_caption; }

private:
    QString m_caption;
    bool m_checked = false;
};

class CliCheckBoxes final : public TCheckBoxParent {
public:
    TConnectionCheckBox *CreateCheckBox(const QString &caption, int, int, int, int) override
    {
        m_boxes.push_back(std::make_unique<CliCheckBox>(caption));
        return m_boxes.back().get();
    }

private:
    std::vector<std::unique_ptr<CliCheckBox>> m_boxes;
};

} // namespace

TCliSession::TCliSession(Options options, QObject *parent) : QObject(parent), m_options(std::move(options))
{
    m_log = new TNaploComponent(this);
    ApplyProgramLogSettings(*m_log, m_options.LogFile);
    m_log->SetLogging(!m_options.LogFile.isEmpty());
    m_codec = new TTAVOProtocol(this);
    wire::SetProgramStartValues(*m_codec);
    m_table = new TDeviceTableModel(this);
    m_table->SetSubnetTest([this](const QString &ip) { return IsInOwnSubnet(ip); });
    m_ex = std::make_unique<TDeviceExchanges>(*this, *m_table, *m_codec);
}

TCliSession::~TCliSession()
{
    m_ex->DetachComms();
    m_comms.reset();
    m_ex.reset();
    m_boxes.reset();
}

void TCliSession::WriteMessage(const QString &text)
{
    const TClockStamp now = CurrentClockStamp();
    if (!m_options.LogFile.isEmpty())
        WriteMessageLine(*m_log, now, text);
    if (m_options.OnMessage)
        m_options.OnMessage(now.hms + QStringLiteral(": ") + text);
}

void TCliSession::SetBusy(bool busy)
{
    m_busy = busy;
}

void TCliSession::SetIndicator(bool)
{
}

void TCliSession::phase(const QString &text)
{
    if (m_options.OnPhase)
        m_options.OnPhase(text);
}

bool TCliSession::IsInOwnSubnet(const QString &ip) const
{
    return ardel::IsInOwnSubnet(ip, m_own);
}

int TCliSession::OpenEndpoints() const
{
    return m_comms ? m_comms->OpenServerCount() : 0;
}

bool TCliSession::Open(QStringList *errors)
{
    QStringList problems;
    const auto note = [&](const QString &text) {
        WriteMessage(text);
        if (text.contains(QStringLiteral("hiba")))
            problems.append(text);
    };

    m_hostAddresses = GetHostAddresses();
    WriteMessage(QStringLiteral("Saját IP címek"));
    for (const QString &a : std::as_const(m_hostAddresses))
        WriteMessage(a);
    try {
        const TIPInfo info;
        ListOwnAddresses(info, m_hostAddresses, note, m_own);
    } catch (const EOSError &e) {
        note(e.Message());
    }

    m_boxes = std::make_unique<CliCheckBoxes>();
    m_comms = std::make_unique<TUDPComms>([](const QString &) {});
    m_comms->SetCheckBoxParent(m_boxes.get());
    m_comms->SetTemplateCheckBox(TCheckBoxTemplate{0, 0, 1, 1});
    m_comms->SetOnMessage(note);
    try {
        m_comms->ReadConnections();
    } catch (const EOSError &e) {
        note(e.Message());
    }
    m_comms->BuildCheckBoxes();
    m_ex->AttachComms(m_comms.get(), {});

    const auto &connections = m_comms->Connections();
    if (m_options.Addresses.isEmpty()) {
        m_comms->CheckConnection(255);
    } else {
        for (const QString &wanted : std::as_const(m_options.Addresses)) {
            int found = -1;
            for (size_t i = 0; i < connections.size(); ++i)
                if (connections[i].IPAddress == wanted)
                    found = static_cast<int>(i);
            if (found < 0) {
                problems.append(QStringLiteral("no up adapter has the address ") + wanted);
                continue;
            }
            m_comms->CheckConnection(found);
        }
    }
    m_comms->OpenServers();
    if (m_comms->OpenServerCount() > 0 && (m_options.Addresses.isEmpty() || problems.isEmpty()))
        return true;
    if (problems.isEmpty())
        problems.append(QStringLiteral("Hálózati adapter hiba: nincs IPv4 címmel rendelkező hálózati adapter"));
    if (errors)
        *errors = problems;
    return false;
}

void TCliSession::waitUntil(const std::function<bool()> &done)
{
    if (done())
        return;
    QEventLoop loop;
    QTimer check;
    // Exchanges end on their own timers (500 ms reply windows, 250 ms
    // resends, a 2 s connection): looking every few milliseconds costs
    // nothing against them.
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start();
    loop.exec();
}

void TCliSession::waitIdle()
{
    waitUntil([this] { return !m_busy && m_ex->IsIdle(); });
}

void TCliSession::Refresh()
{
    phase(QStringLiteral("refresh"));
    m_ex->Discovery().StartRefresh();
    waitIdle();
}

void TCliSession::TavoPass()
{
    phase(QStringLiteral("TAVOW pass"));
    m_ex->InfoPass().Start();
    waitIdle();
}

int TCliSession::RowOfMac(const QString &mac) const
{
    for (int r = 0; r < m_table->RowCount(); ++r)
        if (m_table->Cell(r, ColMac) == mac)
            return r;
    return -1;
}

int TCliSession::RowOfIp(const QString &ip) const
{
    return m_table->FindDeviceRow(ip);
}

TCliSession::SetIpResult TCliSession::SetIp(const QString &mac, const QString &newIp, const QString &password, bool refresh)
{
    phase(QStringLiteral("set-IP ") + mac);
    TDiscoveryExchange &discovery = m_ex->Discovery();
    int answers = 0;
    int refusals = 0;
    bool passwordSent = false;
    bool stopped = false;
    const QMetaObject::Connection answered = connect(&discovery, &TDiscoveryExchange::setIpAnswered, this, [&](bool accepted) {
        ++(accepted ? answers : refusals);
        if (accepted && !refresh)
            discovery.ClearPendingStep();
    });
    // The window's password dialog: one more command with the password, or
    // the flow ends there.
    const QMetaObject::Connection asked = connect(&discovery, &TDiscoveryExchange::passwordRequired, this, [&] {
        WriteMessage(QStringLiteral("Jelszó bekérés"));
        if (password.isEmpty() || passwordSent) {
            stopped = true;
            SetBusy(false);
            return;
        }
        passwordSent = true;
        refusals = 0;
        WriteMessage(QStringLiteral("Sor: ") + QString::number(RowOfMac(mac)));
        discovery.SendSetIp(mac, password, newIp);
    });

    WriteMessage(QStringLiteral("Sor: ") + QString::number(RowOfMac(mac)));
    discovery.SendSetIp(mac, QString(), newIp);
    waitIdle();
    disconnect(answered);
    disconnect(asked);

    if (answers > 0 && !refresh)
        return SetIpResult::Moved;
    if (answers > 0) // the refresh after the accepted command has run
        return m_table->FindDeviceRow(newIp, mac) >= 0 ? SetIpResult::Moved : SetIpResult::NotMoved;
    if (stopped || refusals > 0)
        return passwordSent ? SetIpResult::WrongPassword : SetIpResult::PasswordRequired;
    return SetIpResult::NoAnswer;
}

TCliSession::TavoResult TCliSession::checkDevicePassword(const QString &ip, const QString &tavow, const QString &password)
{
    TTavoCommandSender *sender = m_ex->Sender();
    if (!sender)
        return TavoResult::NoAnswer;
    std::optional<QByteArray> devicePassword;
    const QMetaObject::Connection read = connect(&m_ex->TavoMessages(), &TTavoMessages::devicePasswordRead, this,
                                                 [&](const QByteArray &p) { devicePassword = p; });
    phase(QStringLiteral("password read"));
    m_ex->Settings().ReadDevicePassword(ip, tavow);
    waitUntil([&] { return !m_ex->Sender() || m_ex->Sender()->Finished(); });
    disconnect(read);
    if (!devicePassword)
        return TavoResult::NoAnswer;
    if (!TDeviceSettings::PasswordMatches(*devicePassword, ToCp1250(password)))
        return TavoResult::WrongPassword;
    return TavoResult::Done;
}

TCliSession::TavoResult TCliSession::runTavoStep(const QString &ip, const QString &password, const QString &message,
                                                 const std::function<bool(const QString &tavow)> &send)
{
    const int r = RowOfIp(ip);
    const QString tavow = r >= 0 ? m_table->Cell(r, ColTavow) : QString();
    if (tavow.isEmpty())
        return TavoResult::NotTavo;
    if (const TavoResult check = checkDevicePassword(ip, tavow, password); check != TavoResult::Done)
        return check;
    WriteMessage(message);
    phase(message);
    if (!send(tavow))
        return TavoResult::Done;
    waitUntil([&] { return !m_ex->Sender() || m_ex->Sender()->Finished(); });
    return m_ex->Sender() && !m_ex->Sender()->GaveUp() ? TavoResult::Done : TavoResult::NoAnswer;
}

TCliSession::TavoResult TCliSession::SaveSettings(const QString &ip, const QString &password, const TSettingsChanges &changes)
{
    return runTavoStep(ip, password, QStringLiteral("Beállítás mentés"),
                       [&](const QString &tavow) { return m_ex->Settings().SaveSettings(ip, tavow, changes); });
}

TCliSession::TavoResult TCliSession::Restart(const QString &ip, const QString &password)
{
    return runTavoStep(ip, password, QStringLiteral("Újraindítás kértek"), [&](const QString &tavow) {
        m_ex->Settings().RestartDevice(ip, tavow);
        return true;
    });
}

TCliSession::MacResult TCliSession::WriteMac(const QString &ip, const QByteArray &mac)
{
    phase(QStringLiteral("EEPROM write"));
    bool ended = false;
    bool written = false;
    const QMetaObject::Connection done = connect(&m_ex->MacWriter(), &TMacWriter::finished, this, [&](bool ok) {
        ended = true;
        written = ok;
    });
    WriteMessage(QStringLiteral("Új MAC cím: ") + FromCp1250(mac));
    m_ex->MacWriter().Open(ip, mac);
    waitUntil([&] { return ended; });
    disconnect(done);
    if (!m_ex->MacWriter().WasConnected() || !m_ex->MacWriter().Answered())
        return MacResult::NoAnswer;
    if (!written)
        return MacResult::WriteFailed;
    // As the window: a confirmed write is followed by a refresh.
    Refresh();
    return MacResult::Written;
}

} // namespace ardel
