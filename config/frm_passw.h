// Dialog that asks for a device's password.
#pragma once

#include "config/ConfigDialog.h"

class QLineEdit;

namespace ardel {

class Tf_passw : public ConfigDialog {
    Q_OBJECT
public:
    // The longest password a device takes.
    static constexpr int kMaxPasswordLength = 20;

    explicit Tf_passw(QWidget *parent = nullptr, TBuild build = TBuild::Now);

    // The entry's text as typed.
    QString GetPassword() const;

protected:
    void buildControls() override;
    void FormShow() override;
    void bbtn_setClick() override;

private:
    QLineEdit *em_passw = nullptr;
};

} // namespace ardel
