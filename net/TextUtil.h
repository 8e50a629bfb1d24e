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

// One byte per dotted part: the part read as a decimal number (0 when it is
// not one), low 8 bits. "192.168.1.50" gives C0 A8 01 32.
QByteArray AddressToBytes(const QString &dotted);

// An IPv4 address (host order) as Qt writes it: "10.77.0.1", no leading zeros.
// Built by hand: the receive path formats one per datagram.
QString Ipv4Text(quint32 address);

} // namespace ardel
