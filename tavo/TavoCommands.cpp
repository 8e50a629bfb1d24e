#include "tavo/TavoCommands.h"

#include "net/TextUtil.h"

namespace ardel {

QByteArray TextUntilZero(const QByteArray &text)
{
    const qsizetype z = text.indexOf('\0');
    return z < 0 ? text : text.left(z);
}

QByteArray FormatProgramVersion(const QByteArray &data)
{
    QByteArray out = QByteArrayLiteral("P:") + data.mid(11, 5) + QByteArrayLiteral(" B:");
    int build = 0;
    if (data.size() > 62)
        build = static_cast<quint8>(data.at(61)) | (static_cast<quint8>(data.at(62)) << 8);
    return out + QByteArray::number(build);
}

QByteArray BuildReadCommand(int start, int count)
{
    QByteArray cmd = QByteArrayLiteral("CSYRE");
    cmd.append(static_cast<char>(start & 0xFF));
    cmd.append(static_cast<char>((start >> 8) & 0xFF));
    cmd.append(static_cast<char>(count & 0xFF));
    return cmd;
}

quint32 TavowAddressNumber(const QString &text)
{
    return DecimalOr<quint32>(text, 1);
}

QString BytesToDecimalText(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size() * 4);
    for (const char c : bytes) {
        out += QString::number(static_cast<quint8>(c));
        out += QLatin1Char(' ');
    }
    return out;
}

} // namespace ardel
