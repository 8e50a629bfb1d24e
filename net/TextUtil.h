// Small text helpers shared by every layer.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace ardel {

// Splits text at every occurrence of sep. Empty pieces count: an empty text
// gives one empty piece, and a text ending in sep gives an empty last piece.
void SplitText(const QString &text, QChar sep, QStringList &list);
QStringList SplitText(const QString &text, QChar sep);

// Code page 1250 is what devices send and what the log and export files hold.
QByteArray ToCp1250(const QString &text);
QString FromCp1250(const QByteArray &bytes);

// Decimal value of a text as the devices' tools read it: optional sign and
// digits only; anything else (empty, letters, spaces, overflow) is invalid.
bool ParseDecimal(const QString &text, qint64 &value);

} // namespace ardel
