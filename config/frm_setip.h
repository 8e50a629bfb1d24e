// Dialog in which the user enters a device's new IP address.
#pragma once

#include "config/ConfigDialog.h"

namespace ardel {

class AddressEdit;

class Tf_setip : public ConfigDialog {
    Q_OBJECT
public:
    explicit Tf_setip(QWidget *parent = nullptr, TBuild build = TBuild::Now);

    // The address the field shows the next time the dialog opens.
    void SetIP(const QString &dotted);
    // The field's text with every space removed; not checked again.
    QString GetIP() const;

protected:
    void buildControls() override;
    void FormShow() override;
    void bbtn_setClick() override;

private:
    AddressEdit *me_ip_addr = nullptr;
    QString m_startAddress;
};

} // namespace ardel
