// Included into every test file: gtest prints QByteArray as hex bytes and
// QString as text, so a failing comparison shows what differed.
#pragma once
#ifdef __cplusplus
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << "[" << bytes.size() << " bytes:";
    static const char digits[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *os << ' ' << digits[b >> 4] << digits[b & 0xF];
    }
    *os << "]";
}

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << "{";
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", \"" : "\"") << list.at(i).toStdString() << '"';
    *os << "}";
}
#endif
