#include "net/TextUtil.h"

namespace ardel {

void SplitText(const QString &text, QChar sep, QStringList &list)
{
    list.clear();
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = text.indexOf(sep, from);
        if (at < 0) {
            list.append(text.mid(from));
            return;
        }
        list.append(text.mid(from, at - from));
        from = at + 1;
    }
}

QStringList SplitText(const QString &text, QChar sep)
{
    QStringList list;
    SplitText(text, sep, list);
    return list;
}

QByteArray AddressToBytes(const QString &dotted)
{
    QByteArray bytes;
    const QStringList parts = dotted.split(u'.');
    bytes.reserve(parts.size());
    for (const QString &part : parts)
        bytes.append(static_cast<char>(LowByte(DigitsOr(part, 0))));
    return bytes;
}

} // namespace ardel
