// Dialog in which the user edits a device's MAC address, one byte per field.
#pragma once

#include "config/ConfigDialog.h"

#include <QByteArray>

#include <array>

namespace ardel {

class Tf_setMAC : public ConfigDialog {
    Q_OBJECT
public:
    explicit Tf_setMAC(QWidget *parent = nullptr, TBuild build = TBuild::Now);

    // Each byte into its field, the first into SpinEdit1.
    void SetMAC(const QByteArray &mac);
    // Six bytes as the fields show them now; an emptied field gives 0.
    QByteArray GetMAC() const;

protected:
    void buildControls() override;
    void FormShow() override;
    void bbtn_setClick() override;

private:
    std::array<ByteSpinEdit *, 6> m_fields{};
};

} // namespace ardel
