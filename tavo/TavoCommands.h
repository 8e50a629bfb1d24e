// Building TAVO commands and reading the payloads of their answers, on plain
// bytes.
#pragma once

#include <QByteArray>
#include <QString>

namespace ardel {

// The bytes before the first zero byte (all of them when there is none):
// texts in device memory end at their first zero.
QByteArray TextUntilZero(const QByteArray &text);
// The program version of an "ASYSI" answer: "P:" and the bytes at 11..15 (as
// many as exist), " B:" and the 16-bit number at 61..62, low byte first (0
// when the data does not reach 62).
QByteArray FormatProgramVersion(const QByteArray &data);
// "CSYRE" reading count bytes of device memory from start (low byte first).
QByteArray BuildReadCommand(int start, int count);
// A TAVOW address cell as the recipient number for the command sender; a text
// that is not a decimal number from 0 to 0xFFFFFFFF gives 1.
quint32 TavowAddressNumber(const QString &text);

// Each byte in decimal followed by a space ("65 0 255 "), as packets are logged.
QString BytesToDecimalText(const QByteArray &bytes);

} // namespace ardel
