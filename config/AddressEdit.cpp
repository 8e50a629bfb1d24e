#include "config/AddressEdit.h"

#include <QFont>
#include <QFontMetrics>
#include <QStringList>

#include <limits>

namespace ardel {

namespace {

constexpr int kInvalidGroup = 256;

// Digits only: the field lets nothing else into a group, and a sign or a hex
// prefix in a text from elsewhere must not turn into a valid byte. A number
// too large for an int is unreadable too.
bool ReadDigits(QStringView text, int &value)
{
    if (text.isEmpty())
        return false;
    qint64 v = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c.unicode() - u'0');
        if (v > std::numeric_limits<int>::max())
            return false;
    }
    value = static_cast<int>(v);
    return true;
}

int GroupValue(const QString &fieldText, qsizetype start)
{
    const QString group = RemoveSpaces(fieldText.mid(start, 3));
    int value = 0;
    if (!ReadDigits(group, value))
        return kInvalidGroup;
    return value;
}

} // namespace

QString RemoveSpaces(const QString &text)
{
    QString out = text;
    out.remove(u' ');
    return out;
}

bool CheckIP(const QString &fieldText)
{
    for (const qsizetype start : {0, 4, 8, 12}) {
        if (GroupValue(fieldText, start) > 255)
            return false;
    }
    return true;
}

QByteArray AddressToBytes(const QString &dotted)
{
    QByteArray bytes;
    const QStringList parts = dotted.split(u'.');
    bytes.reserve(parts.size());
    for (const QString &part : parts) {
        int value = 0;
        if (!ReadDigits(part, value))
            value = 0;
        bytes.append(static_cast<char>(value & 0xFF));
    }
    return bytes;
}

QString AddressToFieldText(const QString &dotted)
{
    if (dotted.isEmpty())
        return kEmptyAddressField.toString();
    const QStringList parts = dotted.split(u'.');
    QString out;
    out.reserve(15);
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            out += u'.';
        const QString part = parts.value(i);
        int value = 0;
        if (part.size() <= 3 && ReadDigits(part, value))
            out += part.leftJustified(3, u' ');
        else
            out += QStringLiteral("   ");
    }
    return out;
}

AddressEdit::AddressEdit(QWidget *parent)
    : QLineEdit(parent)
{
    // '0' is an optional digit here: every position may stay blank (a space).
    setInputMask(QStringLiteral("000.000.000.000; "));
    QFont font(QStringLiteral("Courier New"));
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    setFont(font);
    const QFontMetrics metrics(font);
    setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("000.000.000.000")) + 16);
}

QString AddressEdit::FieldText() const
{
    // text() drops the blanks; the field's meaning includes them.
    return displayText();
}

void AddressEdit::SetFieldText(const QString &fieldText)
{
    setText(fieldText);
}

void AddressEdit::SetAddress(const QString &dotted)
{
    setText(AddressToFieldText(dotted));
}

} // namespace ardel
