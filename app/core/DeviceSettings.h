// Settings and restart of a TAVO device through the command sender: the
// device password read, the changed network settings written and saved to
// EEPROM ("CSYER"), the restart ("CSYRS").
#pragma once

#include "app/core/Exchanges.h"

#include <QByteArray>
#include <QString>

namespace ardel {

// Only what changed; empty entries are left as they are on the device.
struct TSettingsChanges {
    QString IP;
    QString Gateway;
    QString Mask;
    QByteArray MAC; // six bytes
};

class TDeviceSettings {
public:
    explicit TDeviceSettings(TExchangeContext &context) : m_context(context) {}

    // Reads the device password (the answer comes as a tag-3 "ASYRE").
    void ReadDevicePassword(const QString &ip, const QString &tavowAddress);
    // What the user typed opens the settings when the device has no
    // password or the same one.
    static bool PasswordMatches(const QByteArray &devicePassword, const QByteArray &typed);
    // Sends the changes and the EEPROM save; false (nothing sent) when there
    // is no change.
    bool SaveSettings(const QString &ip, const QString &tavowAddress, const TSettingsChanges &changes);
    void RestartDevice(const QString &ip, const QString &tavowAddress);

private:
    TExchangeContext &m_context;
};

} // namespace ardel
