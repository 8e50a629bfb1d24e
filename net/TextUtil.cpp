#include "net/TextUtil.h"

#include <QStringDecoder>
#include <QStringEncoder>

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

QByteArray ToCp1250(const QString &text)
{
    QStringEncoder enc("windows-1250");
    return enc.encode(text);
}

QString FromCp1250(const QByteArray &bytes)
{
    // Opening the converter costs more than decoding a datagram; one byte is
    // one character, so a stateless decoder can be kept.
    thread_local QStringDecoder dec("windows-1250", QStringConverter::Flag::Stateless);
    return dec.decode(bytes);
}

} // namespace ardel
