// The EEPROM write's packet: the next sequence number and the program's own
// addresses, whatever the codec held before.
#include "app/core/Exchanges.h"
#include "app/core/DeviceTable.h"
#include "app/core/MacWriter.h"
#include "net/DecimalText.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoWire.h"

#include <gtest/gtest.h>

using namespace ardel;

namespace {

struct LinesHost final : TExchangeHost {
    QStringList lines;
    void WriteMessage(const QString &text) override { lines.append(text); }
    void SetBusy(bool) override {}
    void SetIndicator(bool) override {}
};

QByteArray DecimalTextToBytes(const QString &text)
{
    QByteArray out;
    for (const QString &n : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.append(char(DigitsOr(n, 0)));
    return out;
}

TEST(MacWriter, ConnectSendsTheEepromWriteWithTheNextSequenceNumber)
{
    LinesHost host;
    TDeviceTableModel table;
    TTAVOProtocol codec;
    wire::SetProgramStartValues(codec);
    TExchangeContext context{&host, &table, &codec, nullptr, nullptr};
    TMacWriter writer(context);
    // No connection: the write itself goes nowhere.
    writer.Prepare(QStringLiteral("10.77.128.5"), QByteArray("\x00\x1A\x4B\x0C\xC8\xFE", 6));
    const struct {
        int before;
        int after;
    } cases[] = {{199, 200}, {200, 1}, {255, 0}, {0, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.before);
        codec.CsomagSorszam = static_cast<std::uint8_t>(c.before);
        codec.Cimzett = 7;
        codec.Felado = 9;
        host.lines.clear();
        writer.Connected();
        EXPECT_EQ(codec.CsomagSorszam, c.after);
        EXPECT_FALSE(writer.WriteOk());
        const QStringList &lines = host.lines;
        ASSERT_EQ(lines.size(), 4);
        EXPECT_EQ(lines[0], QStringLiteral("A kapcsolat létrejött!"));
        EXPECT_EQ(lines[1], QStringLiteral("TAVO parancsküldés: 10.77.128.5"));
        EXPECT_EQ(lines[2], QStringLiteral("TAVO csomagsorszám: ") + QString::number(c.after));
        ASSERT_TRUE(lines[3].startsWith(QStringLiteral("TAVO csomag: ")));
        TTAVOProtocol decoder;
        QByteArray data;
        decoder.DecodeTAVOW(DecimalTextToBytes(lines[3].mid(13)), data);
        EXPECT_EQ(decoder.DecodeError(), 0);
        EXPECT_EQ(data, QByteArray("CSYWE\xD3\x00\x06\x00\x1A\x4B\x0C\xC8\xFE", 14));
        EXPECT_EQ(decoder.Cimzett, 255u);
        EXPECT_EQ(decoder.Felado, 250u);
        EXPECT_EQ(decoder.CsomagSorszam, c.after);
    }
}

} // namespace
