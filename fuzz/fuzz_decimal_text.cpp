// The decimal readers of net/DecimalText alone (ParseDecimal, ParseDigits,
// ParseUnsignedByte, ParseDottedBytes, DecimalOr, DigitsOr), each checked
// against a reference reading that compares digit strings (nothing to
// overflow): on the whole text, on each of its dotted pieces, and as a
// four- and a six-part dotted text. No Qt application, no other helper, so
// the run is spent on the readers; fuzz_text feeds them through the address
// helpers as well.
//
// Input: byte 0 bit 7 set: the rest is UTF-8 (as the user may paste it),
// otherwise code page 1250 (as devices send it).
#include "fuzz/DecimalReference.h"
#include "fuzz/FuzzOptions.h"
#include "fuzz/FuzzSupport.h"

#include "net/TextUtil.h"

// A number is refused past 19 characters and a dotted text has at most six
// short parts; 256 characters leave room for long zero padding and any mix of
// dots, longer inputs only cost time.
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    ardelfuzz::DefaultMaxLen(argc, argv, 256);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray raw = ardelfuzz::Bytes(bytes + 1, size - 1);
    const QString text = (bytes[0] & 0x80) ? QString::fromUtf8(raw) : ardel::FromCp1250(raw);

    ardelfuzz::Pieces pieces;
    ardelfuzz::DottedPieces(text, pieces);
    ardelfuzz::CheckReaders(text);
    for (const QStringView piece : pieces)
        ardelfuzz::CheckReaders(piece);
    ardelfuzz::CheckDotted<4>(text, pieces);
    ardelfuzz::CheckDotted<6>(text, pieces);
    return 0;
}
