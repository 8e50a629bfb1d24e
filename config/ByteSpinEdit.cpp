#include "config/ByteSpinEdit.h"

#include "net/DecimalText.h"

#include <QLineEdit>

namespace ardel {

ByteSpinEdit::ByteSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    setRange(0, 255);
    setValue(1);
    lineEdit()->setMaxLength(3);
    setAlignment(Qt::AlignRight);
}

quint8 ByteSpinEdit::ByteValue() const
{
    // Longer than the field allows is no number of this field either.
    const QString text = cleanText();
    return text.size() <= 3 ? LowByte(DigitsOr(text, 0)) : 0;
}

void ByteSpinEdit::fixup(QString &input) const
{
    if (input.trimmed().isEmpty())
        input = QStringLiteral("0");
    else
        QSpinBox::fixup(input);
}

} // namespace ardel
