// Code page 1250 is what devices send and what the log and export files hold.
// The conversion is a fixed table, so it needs no ICU in the Qt build (Qt for
// Windows is often built without it, and then has no "windows-1250" codec).
// It gives the same bytes as ICU's windows-1250 converter:
// - the five bytes the code page leaves undefined (0x81, 0x83, 0x88, 0x90,
//   0x98) decode to the C1 controls U+0081 ... U+0098, and encode back;
// - a character the code page lacks encodes to 0x1A, one byte per code point
//   (a surrogate pair is one, a surrogate without its partner is one), except
//   the invisible format characters (zero-width space, bidi marks, variation
//   selectors, byte order mark...), which are left out;
// - unlike ICU, a high surrogate at the very end of the text is not held back
//   waiting for its partner: it gives 0x1A like any other lone surrogate.
#pragma once

#include <QByteArray>
#include <QString>

namespace ardel {

QByteArray ToCp1250(const QString &text);
// The same into out, reusing its buffer.
void ToCp1250(const QString &text, QByteArray &out);
QString FromCp1250(const QByteArray &bytes);

// What a character the code page lacks becomes.
inline constexpr char kCp1250Substitute = '\x1A';

} // namespace ardel
