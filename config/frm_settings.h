// Dialog for a TAVOW device's IP address, gateway, subnet mask and MAC
// address, with a button that restarts the device.
#pragma once

#include "config/ConfigDialog.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace ardel {

class AddressEdit;

class Tf_settings : public ConfigDialog {
    Q_OBJECT
public:
    explicit Tf_settings(QWidget *parent = nullptr, TBuild build = TBuild::Now);

    // Each remembers the text as the field's start value; the field shows it
    // the next time the dialog opens.
    void SetIP(const QString &dotted);
    void SetGateway(const QString &dotted);
    void SetMask(const QString &dotted);
    // Remembers the start MAC and shows it in the spin fields.
    void SetMAC(const QByteArray &mac);
    // Start MAC := six zero bytes; the spin fields keep what they show.
    void ClearMAC();

    // The field's text without spaces when it differs from its start value
    // (exact text comparison, so "001" differs from "1"), otherwise empty.
    QString ChangedIP() const;
    QString ChangedGateway() const;
    QString ChangedMask() const;
    // Six bytes when the fields differ from the start MAC, otherwise empty.
    QByteArray ChangedMAC() const;

protected:
    void buildControls() override;
    void FormShow() override;
    void bbtn_setClick() override;

private:
    void bbtn_resetClick();

    AddressEdit *me_ip_addr = nullptr;
    AddressEdit *me_gateway = nullptr;
    AddressEdit *me_mask = nullptr;
    std::array<ByteSpinEdit *, 6> m_macFields{};

    QString m_startIP;
    QString m_startGateway;
    QString m_startMask;
    QByteArray m_startMAC;
};

} // namespace ardel
