// A spin field holding one byte of a MAC address.
#pragma once

#include <QSpinBox>

namespace ardel {

class ByteSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit ByteSpinEdit(QWidget *parent = nullptr);

    // What the field shows, as a byte: an emptied field (or any text that is
    // not a number) reads 0. The text is read rather than value(), because
    // value() keeps the last number until the field loses the focus.
    quint8 ByteValue() const;

protected:
    // An emptied field becomes 0 when it loses the focus, instead of jumping
    // back to the number it held before.
    void fixup(QString &input) const override;
};

} // namespace ardel
