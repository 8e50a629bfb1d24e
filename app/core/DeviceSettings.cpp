#include "app/core/DeviceSettings.h"

#include "net/TextUtil.h"
#include "tavo/TavoCommandSender.h"
#include "tavo/TavoCommands.h"

namespace ardel {

void TDeviceSettings::ReadDevicePassword(const QString &ip, const QString &tavowAddress)
{
    TTavoCommandSender *sender = m_context.Sender;
    if (!sender)
        return;
    sender->SetTarget(ip, TavowAddressNumber(tavowAddress));
    sender->AddCommand(BuildReadCommand(97, 30), 3);
    sender->Step(QString(), QString());
}

bool TDeviceSettings::PasswordMatches(const QByteArray &devicePassword, const QByteArray &typed)
{
    return devicePassword.isEmpty() || typed == devicePassword;
}

bool TDeviceSettings::SaveSettings(const QString &ip, const QString &tavowAddress, const TSettingsChanges &changes)
{
    TTavoCommandSender *sender = m_context.Sender;
    if (!sender)
        return false;
    sender->SetTarget(ip, TavowAddressNumber(tavowAddress));
    if (!changes.IP.isEmpty())
        sender->AddCommand(QByteArrayLiteral("CETSI") + AddressToBytes(changes.IP), 0);
    if (!changes.Gateway.isEmpty())
        sender->AddCommand(QByteArrayLiteral("CETSG") + AddressToBytes(changes.Gateway), 0);
    if (!changes.Mask.isEmpty())
        sender->AddCommand(QByteArrayLiteral("CETSN") + AddressToBytes(changes.Mask), 0);
    if (!changes.MAC.isEmpty())
        sender->AddCommand(QByteArrayLiteral("CETSM") + changes.MAC, 0);
    if (sender->CommandCount() == 0)
        return false;
    sender->AddCommand(QByteArrayLiteral("CSYER"), 0);
    sender->Step(QString(), QString());
    return true;
}

void TDeviceSettings::RestartDevice(const QString &ip, const QString &tavowAddress)
{
    TTavoCommandSender *sender = m_context.Sender;
    if (!sender)
        return;
    sender->SetTarget(ip, TavowAddressNumber(tavowAddress));
    sender->AddCommand(QByteArrayLiteral("CSYRS"), 0);
    sender->Step(QString(), QString());
}

} // namespace ardel
