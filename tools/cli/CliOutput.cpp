#include "tools/cli/CliOutput.h"

#include "app/core/DeviceTable.h"
#include "net/DecimalText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>

namespace ardel::cli {

namespace {

// Key and table column of each field; in_own_subnet has no column.
struct Field {
    const char *key;
    int column;
    bool inTable;
};
constexpr std::array<Field, 12> kFields{{
    {"status", ColStatus, true},
    {"owner", ColOwner, true},
    {"name", ColDeviceName, true},
    {"mac", ColMac, true},
    {"mac_hex", ColMacHex, false},
    {"ip", ColIp, true},
    {"port", ColPort, true},
    {"version", ColVersion, true},
    {"list_status", ColListStatus, false},
    {"tavow", ColTavow, true},
    {"gateway", ColGateway, true},
    {"mask", ColMask, true},
}};

QString value(const QStringList &row, const Field &f)
{
    const QString v = row.value(f.column);
    if (f.column == ColMacHex && v.isEmpty())
        return MacToHex(row.value(ColMac));
    return v;
}

qint64 addressKey(const QString &ip)
{
    std::array<quint8, 4> b{};
    if (!ParseDottedBytes(ip, b))
        return -1;
    return (qint64(b[0]) << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
}

} // namespace

const QStringList &DeviceKeys()
{
    static const QStringList keys = [] {
        QStringList k;
        for (const Field &f : kFields)
            k.append(QString::fromLatin1(f.key));
        k.append(QStringLiteral("in_own_subnet"));
        return k;
    }();
    return keys;
}

QString CsvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r'))
        && !text.contains(QLatin1Char('\n')))
        return text;
    QString out = text;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

void SortByAddress(QList<QStringList> &rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const QStringList &a, const QStringList &b) {
        return addressKey(a.value(ColIp)) < addressKey(b.value(ColIp));
    });
}

QByteArray FormatDevices(QList<QStringList> rows, const std::function<bool(const QString &ip)> &inOwnSubnet, Format format)
{
    SortByAddress(rows);
    const auto own = [&](const QStringList &row) { return inOwnSubnet ? inOwnSubnet(row.value(ColIp)) : true; };
    if (format == Format::Json) {
        QJsonArray array;
        for (const QStringList &row : std::as_const(rows)) {
            QJsonObject o;
            for (const Field &f : kFields)
                o.insert(QString::fromLatin1(f.key), value(row, f));
            o.insert(QStringLiteral("in_own_subnet"), own(row));
            array.append(o);
        }
        return QJsonDocument(array).toJson(QJsonDocument::Indented);
    }
    if (format == Format::Csv) {
        QString out = DeviceKeys().join(QLatin1Char(',')) + QStringLiteral("\r\n");
        for (const QStringList &row : std::as_const(rows)) {
            QStringList fields;
            for (const Field &f : kFields)
                fields.append(CsvField(value(row, f)));
            fields.append(own(row) ? QStringLiteral("true") : QStringLiteral("false"));
            out += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
        }
        return out.toUtf8();
    }
    // Table: the columns a reader needs, as wide as their widest text.
    QList<QStringList> lines;
    QStringList header;
    for (const Field &f : kFields)
        if (f.inTable)
            header.append(QString::fromLatin1(f.key));
    lines.append(header);
    for (const QStringList &row : std::as_const(rows)) {
        QStringList cells;
        for (const Field &f : kFields)
            if (f.inTable) {
                // A control character would break the alignment (and the terminal).
                QString v = value(row, f);
                for (QChar &ch : v)
                    if (ch.unicode() < 32)
                        ch = QLatin1Char(' ');
                cells.append(v);
            }
        lines.append(cells);
    }
    QList<qsizetype> widths(header.size(), 0);
    for (const QStringList &l : std::as_const(lines))
        for (qsizetype i = 0; i < l.size(); ++i)
            widths[i] = std::max(widths[i], l.at(i).size());
    QString out;
    for (const QStringList &l : std::as_const(lines)) {
        QString line;
        for (qsizetype i = 0; i < l.size(); ++i)
            line += i + 1 < l.size() ? l.at(i).leftJustified(widths[i] + 2, QLatin1Char(' ')) : l.at(i);
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        out += line + QLatin1Char('\n');
    }
    return out.toUtf8();
}

} // namespace ardel::cli
