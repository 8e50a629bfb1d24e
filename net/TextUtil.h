// Small text helpers shared by every layer.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Whoever reads texts here usually reads numbers in them too.
#include "net/DecimalText.h"

namespace ardel {

// Splits text at every occurrence of sep. Empty pieces count: an empty text
// gives one empty piece, and a text ending in sep gives an empty last piece.
void SplitText(const QString &text, QChar sep, QStringList &list);
QStringList SplitText(const QString &text, QChar sep);

// Code page 1250 is what devices send and what the log and export files hold.
QByteArray ToCp1250(const QString &text);
QString FromCp1250(const QByteArray &bytes);

} // namespace ardel
