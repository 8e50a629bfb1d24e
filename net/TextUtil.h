// Small text helpers shared by every layer.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Whoever reads texts here usually reads numbers in them too, and converts
// them from and to code page 1250.
#include "net/Cp1250.h"
#include "net/DecimalText.h"

namespace ardel {

// Splits text at every occurrence of sep. Empty pieces count: an empty text
// gives one empty piece, and a text ending in sep gives an empty last piece.
void SplitText(const QString &text, QChar sep, QStringList &list);
QStringList SplitText(const QString &text, QChar sep);

} // namespace ardel
