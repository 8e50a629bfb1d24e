#include "net/EchoFilter.h"

#include <QHashSeed>

#include <gtest/gtest.h>

using namespace ardel;

namespace {

const QString kA = QStringLiteral("10.77.0.1");
const QString kB = QStringLiteral("10.78.0.1");
const QString kDev = QStringLiteral("10.77.128.5");
constexpr qsizetype kMax = 1024;

QString Peer(int i)
{
    return QStringLiteral("10.%1.%2.%3").arg(i >> 16 & 0xFF).arg(i >> 8 & 0xFF).arg(i & 0xFF);
}

} // namespace

TEST(EchoFilter, CopiesThroughAnotherEndpointWithinTheWindowAreEchoes)
{
    const qint64 w = TEchoFilter::kWindowMs;
    const struct {
        const char *what;
        qint64 at;
        QString peer;
        QByteArray data;
        QString local;
        bool echo;
    } steps[] = {
        {"an answer", 0, kDev, "name", kA, false},
        {"its copy through the other endpoint", 10, kDev, "name", kB, true},
        {"the same bytes again: a second answer", 20, kDev, "name", kA, false},
        {"the second answer's copy", 30, kDev, "name", kB, true},
        {"a third copy through B first is an answer", 40, kDev, "name", kB, false},
        {"its copy through A", 50, kDev, "name", kA, true},
        {"another device's identical bytes", 60, QStringLiteral("10.77.128.6"), "name", kB, false},
        {"a copy exactly a window after the last one still counts", 50 + w, kDev, "name", kB, false},
        {"and its copy", 60 + w, kDev, "name", kA, true},
        {"a copy after the window is a new answer", 61 + 2 * w, kDev, "name", kB, false},
        {"through the other endpoint it is an echo again", 62 + 2 * w, kDev, "name", kA, true},
    };
    TEchoFilter filter(kMax);
    for (const auto &s : steps)
        EXPECT_EQ(filter.IsEcho(s.peer, s.data, s.local, s.at), s.echo) << s.what;
}

TEST(EchoFilter, DatagramsLongerThanAnyPacketAreNeitherEchoesNorKept)
{
    TEchoFilter filter(kMax);
    const QByteArray big(kMax + 1, 'x');
    EXPECT_FALSE(filter.IsEcho(kDev, big, kA, 0));
    EXPECT_FALSE(filter.IsEcho(kDev, big, kB, 1));
    EXPECT_EQ(filter.Entries(), 0);
    const QByteArray largest(kMax, 'x');
    EXPECT_FALSE(filter.IsEcho(kDev, largest, kA, 2));
    EXPECT_TRUE(filter.IsEcho(kDev, largest, kB, 3));
}

TEST(EchoFilter, RemembersTheLastDatagramsOfEachDevice)
{
    TEchoFilter filter(kMax);
    const int n = TEchoFilter::kPerDevice;
    for (int i = 0; i <= n; ++i)
        ASSERT_FALSE(filter.IsEcho(kDev, QByteArray::number(i), kA, i));
    EXPECT_EQ(filter.Entries(), n);
    // The oldest was forgotten: its copy is no longer recognised.
    EXPECT_FALSE(filter.IsEcho(kDev, QByteArray::number(0), kB, 100));
    EXPECT_TRUE(filter.IsEcho(kDev, QByteArray::number(n), kB, 101));
}

TEST(EchoFilter, MemoryIsBoundedWhateverTheNumberOfDevices)
{
    const int max = TEchoFilter::kMaxEntries;
    struct Case {
        const char *name;
        qint64 spacingMs; // between the datagrams of the flood
        int keptAfterSweep;
    };
    // A flood spread over time loses its expired entries; one inside the
    // window empties the memory.
    const Case cases[] = {
        {"flood inside the window", 0, 1},
        {"flood spread past the window", 1, int(TEchoFilter::kWindowMs) + 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TEchoFilter filter(kMax);
        qint64 now = 0;
        for (int i = 0; i < max; ++i) {
            ASSERT_FALSE(filter.IsEcho(Peer(i), "x", kA, now));
            now += c.spacingMs;
        }
        EXPECT_EQ(filter.Entries(), max);
        // The next datagram sweeps first.
        EXPECT_FALSE(filter.IsEcho(Peer(max), "x", kA, now));
        EXPECT_EQ(filter.Entries(), c.keptAfterSweep);
        for (int i = 0; i < 3 * max; ++i) {
            ASSERT_FALSE(filter.IsEcho(Peer(max + 1 + i), "x", kA, now));
            ASSERT_LE(filter.Entries(), max);
        }
    }
}

TEST(EchoFilter, SweepCountsWhatItKeepsWhateverTheHashLayout)
{
    // The sweep's count once depended on where the hash put the devices (one
    // run in ten counted a kept device twice); every seed gives a new layout.
    const int max = TEchoFilter::kMaxEntries;
    const int kept = int(TEchoFilter::kWindowMs) + 1;
    for (int seed = 0; seed < 24; ++seed) {
        SCOPED_TRACE(seed);
        QHashSeed::resetRandomGlobalSeed();
        TEchoFilter filter(kMax);
        qint64 now = 0;
        for (int i = 0; i < max; ++i)
            ASSERT_FALSE(filter.IsEcho(Peer(i), "x", kA, now++));
        ASSERT_FALSE(filter.IsEcho(Peer(max), "x", kA, now));
        ASSERT_EQ(filter.Entries(), kept);
    }
}
