// The device exchanges run without a window: the command-line client's side
// of what the main window does with its buttons. Each operation runs its
// exchange to the end in a local event loop and says how it ended.
#pragma once

#include "app/core/DeviceExchanges.h"
#include "app/core/DeviceTable.h"
#include "net/IPInfo.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace ardel {

class TNaploComponent;
class TTAVOProtocol;
class TCheckBoxParent;
class TUDPComms;

class TCliSession : public QObject, public TExchangeHost {
    Q_OBJECT
public:
    struct Options {
        // Local addresses to open; empty: every up IPv4 address.
        QStringList Addresses;
        // Log file; empty: no log.
        QString LogFile;
        // Each message line as the log gets it (for --verbose and tests).
        std::function<void(const QString &line)> OnMessage;
        // What runs now, for a progress line.
        std::function<void(const QString &phase)> OnPhase;
    };

    enum class SetIpResult {
        Moved,            // accepted, and the device answers at its new address
        NotMoved,         // accepted, but the refresh does not list it there
        PasswordRequired, // "D" and no password to give
        WrongPassword,    // "D" again after the password
        NoAnswer,
    };
    enum class TavoResult { Done, WrongPassword, NoAnswer, NotTavo };
    enum class MacResult {
        Written,     // confirmed, and the refresh after it has run
        WriteFailed, // the device refused the write
        NoAnswer,    // no connection, or no answer on it
    };

    explicit TCliSession(Options options, QObject *parent = nullptr);
    ~TCliSession() override;

    // Lists the local addresses as the window does at start and opens the
    // endpoints. False, with the messages that explain it, when none opens.
    bool Open(QStringList *errors);

    // The "Frissítés" refresh: X, V, X, V with their reply windows.
    void Refresh();
    // The "Tavow frissítés" pass.
    void TavoPass();

    const TDeviceTableModel &Table() const { return *m_table; }
    // Row of the device with this MAC (dotted decimal) or IP; -1 when none.
    int RowOfMac(const QString &mac) const;
    int RowOfIp(const QString &ip) const;
    bool IsInOwnSubnet(const QString &ip) const;
    int OpenEndpoints() const;

    // Set-IP of the device with mac, as the window's "IP cím csere" with its
    // password step: without an answer "D" a password is not sent. refresh:
    // run the refresh that follows an accepted command (else: Moved means
    // only accepted).
    SetIpResult SetIp(const QString &mac, const QString &newIp, const QString &password, bool refresh);
    // Settings (only what changes) or restart of the TAVO device at ip, after
    // its password is read and compared as the window does.
    TavoResult SaveSettings(const QString &ip, const QString &password, const TSettingsChanges &changes);
    TavoResult Restart(const QString &ip, const QString &password);
    // EEPROM write of a new MAC over TCP port 1001; a confirmed write is
    // followed by the refresh the window runs.
    MacResult WriteMac(const QString &ip, const QByteArray &mac);

    // TExchangeHost
    void WriteMessage(const QString &text) override;
    void SetBusy(bool busy) override;
    void SetIndicator(bool busy) override;

private:
    void phase(const QString &text);
    // Runs the event loop until the exchanges are idle and nothing is busy.
    void waitIdle();
    void waitUntil(const std::function<bool()> &done);
    // Reads the TAVO device's password; false when the device did not answer.
    TavoResult checkDevicePassword(const QString &ip, const QString &tavow, const QString &password);
    // The TAVO device at ip, its password checked, then what send queues, to its end.
    TavoResult runTavoStep(const QString &ip, const QString &password, const QString &message,
                           const std::function<bool(const QString &tavow)> &send);

    Options m_options;
    TNaploComponent *m_log = nullptr;
    TTAVOProtocol *m_codec = nullptr;
    TDeviceTableModel *m_table = nullptr;
    std::unique_ptr<TDeviceExchanges> m_ex;
    std::unique_ptr<TCheckBoxParent> m_boxes;
    std::unique_ptr<TUDPComms> m_comms;
    QStringList m_hostAddresses;
    TOwnSubnet m_own;
    bool m_busy = false;
};

} // namespace ardel
