#include "config/AddressEdit.h"

#include "net/DecimalText.h"
#include "ui/Look.h"

#include <QFont>
#include <QFontMetrics>
#include <QStringList>

namespace ardel {

namespace {

// A group is read as plain digits: the field lets nothing else into it, and a
// sign or a hex prefix in a text from elsewhere must not turn into a valid
// byte. An empty or unreadable group (a number too large for an int too)
// counts as 256, so it fails.
constexpr int kInvalidGroup = 256;

int GroupValue(const QString &fieldText, qsizetype start)
{
    return DigitsOr(RemoveSpaces(fieldText.mid(start, 3)), kInvalidGroup);
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
        if (part.size() <= 3 && ParseDigits(part, value))
            out += part.leftJustified(3, u' ');
        else
            out += QStringLiteral("   ");
    }
    return out;
}

AddressEdit::AddressEdit(QWidget *parent) : QLineEdit(parent)
{
    // '0' is an optional digit here: every position may stay blank (a space).
    setInputMask(QStringLiteral("000.000.000.000; "));
    const QFont font = FixedFont();
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
