#include "net/TextUtil.h"

namespace ardel {

void SplitText(const QString &text, QChar sep, QStringList &list)
{
    list.clear();
    // One allocation for the list instead of its growth steps: every
    // datagram's text is split here.
    list.reserve(text.count(sep) + 1);
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

QString Ipv4Text(quint32 address)
{
    char text[16];
    char *out = text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned part = (address >> shift) & 0xFF;
        if (part >= 100)
            *out++ = char('0' + part / 100);
        if (part >= 10)
            *out++ = char('0' + part / 10 % 10);
        *out++ = char('0' + part % 10);
        if (shift)
            *out++ = '.';
    }
    return QString::fromLatin1(text, out - text);
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
