#include "config/ByteSpinEdit.h"

#include <QLineEdit>

namespace ardel {

ByteSpinEdit::ByteSpinEdit(QWidget *parent)
    : QSpinBox(parent)
{
    setRange(0, 255);
    setValue(1);
    lineEdit()->setMaxLength(3);
    setAlignment(Qt::AlignRight);
}

quint8 ByteSpinEdit::ByteValue() const
{
    const QString text = cleanText();
    if (text.isEmpty() || text.size() > 3)
        return 0;
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c.unicode() - u'0');
    }
    return static_cast<quint8>(value & 0xFF);
}

void ByteSpinEdit::fixup(QString &input) const
{
    if (input.trimmed().isEmpty())
        input = QStringLiteral("0");
    else
        QSpinBox::fixup(input);
}

} // namespace ardel
