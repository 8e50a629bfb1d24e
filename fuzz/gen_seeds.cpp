// Writes the seed corpora of the fuzz targets (fuzz/corpus/<target>/) from
// the worked examples and from packets built with the codec, so that every
// seed is a packet a device could send.
//
//   fuzz_seedgen <fuzz/corpus directory>
#include "tavo/TAVOProtocol.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cstdio>

using ardel::TTAVOProtocol;

namespace {

QString g_root;
int g_written = 0;

QByteArray Hex(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

void Seed(const char *target, const QByteArray &bytes)
{
    const QString dir = g_root + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(dir);
    const QString name = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16));
    QFile f(dir + QLatin1Char('/') + name);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size())
        ++g_written;
}

QByteArray Op(std::uint8_t op, const QByteArray &rest)
{
    return QByteArray(1, static_cast<char>(op)) + rest;
}

QByteArray Record(std::uint8_t selector, const QByteArray &chunk)
{
    return QByteArray(1, static_cast<char>(selector)) + QByteArray(1, static_cast<char>(chunk.size())) + chunk;
}

// A device's answer as the device codes it: to the program (250), from its
// own address.
QByteArray FromDevice(const QByteArray &data, std::uint32_t felado, bool tavow)
{
    TTAVOProtocol c;
    c.Cimzett = 250;
    c.Felado = felado;
    c.Felado_rovid_cim = static_cast<std::uint8_t>(felado);
    c.CsomagSorszam = 17;
    QByteArray packet;
    if (tavow)
        c.EncodeTAVOW(data, packet);
    else
        c.EncodeTAVO(data, packet);
    return packet;
}

QByteArray Aetei(std::uint8_t dhcp, std::uint8_t conn)
{
    QByteArray d = QByteArrayLiteral("AETEI");
    d += Hex("001A4B0CC803"); // MAC
    d += Hex("0A4D8001");     // 10.77.128.1
    d += Hex("0A4D0001");     // gateway
    d += Hex("FFFF00");       // mask, its last byte is the DHCP state
    d += static_cast<char>(dhcp);
    d += static_cast<char>(conn);
    return d;
}

QByteArray Asyre(const QByteArray &text)
{
    QByteArray d = QByteArrayLiteral("ASYRE") + text;
    d += QByteArray(24 - text.size() > 0 ? 24 - text.size() : 1, '\0');
    return d;
}

QByteArray Asysi()
{
    QByteArray d = QByteArrayLiteral("ASYSI") + QByteArray(6, '\x01') + QByteArrayLiteral("abc12");
    d += QByteArray(61 - d.size(), '\x20');
    d += Hex("2C01");
    return d;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);

    // The two "CETEI" packets of the worked examples.
    const QByteArray tavowCetei = Hex("FB7F8080807A80807F807A80818085807F434554454980E1FC");
    const QByteArray tavoCetei = Hex("FDFFFA04018006010143455445498070FE");

    const QByteArray aeteiW = FromDevice(Aetei(2, 1), 74565, true);
    const QByteArray aeteiT = FromDevice(Aetei(1, 0), 7, false);
    const QByteArray nameW = FromDevice(Asyre(QByteArrayLiteral("Kazan 1")), 74565, true);
    const QByteArray ownerW = FromDevice(Asyre(QByteArrayLiteral("Kelvara Kft")), 74565, true);
    const QByteArray passW = FromDevice(Asyre(QByteArrayLiteral("titok")), 74565, true);
    const QByteArray sysiW = FromDevice(Asysi(), 74565, true);
    const QByteArray sysiT = FromDevice(Asysi(), 7, false);
    const QByteArray asywe1 = FromDevice(QByteArrayLiteral("ASYWE") + Hex("01"), 74565, true);
    const QByteArray asywe0 = FromDevice(QByteArrayLiteral("ASYWE") + Hex("00"), 74565, true);
    const QByteArray setIp = FromDevice(QByteArrayLiteral("AETSI"), 74565, true);
    const QByteArray shortSender = FromDevice(Aetei(0, 0), 7, true); // TAVOW from a short address: code 4

    // --- codec
    for (const QByteArray &p : {tavoCetei, aeteiT, sysiT})
        Seed("fuzz_tavo_codec", Op(0, p));
    for (const QByteArray &p : {tavowCetei, aeteiW, nameW, sysiW, asywe1, shortSender})
        Seed("fuzz_tavo_codec", Op(1, p));
    Seed("fuzz_tavo_codec", Op(2 | (3 << 3), tavowCetei));
    Seed("fuzz_tavo_codec", Op(2 | (3 << 3), tavoCetei));
    Seed("fuzz_tavo_codec", Op(3, tavowCetei.mid(1, tavowCetei.size() - 3)));
    Seed("fuzz_tavo_codec", Op(4, QByteArray(1, '\0') + QByteArrayLiteral("CSYWE") + Hex("D300060102030405FF")));
    Seed("fuzz_tavo_codec", Op(4, QByteArray(1, '\x03') + Hex("0A1B2C") + Aetei(2, 1)));
    Seed("fuzz_tavo_codec", Op(5, QByteArrayLiteral("CETEI")));
    Seed("fuzz_tavo_codec", Op(5, Hex("00011F20809FA0FBFCFDFE")));

    // --- text helpers
    const char *texts[] = {"192.168.1.50", "10.20.30.40.50.255", "0.26.75.12.200.3", "10 .1  .2  .3  ", "256.1.1.1",
                           "1.2.3",        "/A/b//c/",           "255.255.255.0",    "  1.  2.  3.  4", "1.2.3.4.5.x"};
    for (std::uint8_t op = 0; op < 6; ++op)
        for (const char *t : texts)
            Seed("fuzz_text", Op(op, QByteArray(t)));
    Seed("fuzz_text", Op(0x81, QStringLiteral("/Kazán/őű/ŐŰ").toUtf8()));
    // The decimal readers (ops 6 and 7): the edges of every rule.
    const char *numbers[] = {"0",
                             "+7",
                             "-0",
                             "007",
                             "255",
                             "256",
                             "2147483647",
                             "2147483648",
                             "4294967296",
                             "9223372036854775807",
                             "9223372036854775808",
                             "9999999999999999999",
                             "99999999999999999999",
                             "-9223372036854775808",
                             " 1",
                             "0x1F",
                             "1.-2.+3.0255"};
    for (std::uint8_t op = 6; op < 8; ++op) {
        for (const char *t : texts)
            Seed("fuzz_text", Op(op, QByteArray(t)));
        for (const char *t : numbers)
            Seed("fuzz_text", Op(op, QByteArray(t)));
    }
    // MacToHex of a piece of 19 nines once overflowed the decimal reader.
    Seed("fuzz_text", Op(2, QByteArrayLiteral(".-0.-0.9999999999999999999.-0.-0")));

    // --- plain replies: X, V, set-IP and other commands, table operations
    const QByteArray disc = QByteArrayLiteral("A0.26.75.12.200.3/80/AB0IC/x/Tulajdonos/K\xe9sz\xfcl\xe9k");
    const QByteArray disc2 = QByteArrayLiteral("A0.26.75.12.200.4/80/AB0M*/x/owner/name");
    Seed("fuzz_plain_reply", Record(0, disc));
    Seed("fuzz_plain_reply", Record(0, disc) + Record(0, disc) + Record(5, {}) + Record(0, disc) + Record(6, {}));
    Seed("fuzz_plain_reply", Record(0, disc) + Record(0 | (1 << 3), disc2) + Record(0 | (2 << 3), disc2) + Record(4, {})
                                 + Record(1, QByteArrayLiteral("AV1.24")) + Record(1 | 0x40, QByteArrayLiteral("AV2")));
    Seed("fuzz_plain_reply", Record(2, QByteArrayLiteral("D")) + Record(2 | (1 << 3), QByteArrayLiteral("A")));
    Seed("fuzz_plain_reply", Record(3, disc) + Record(0, QByteArrayLiteral("A1.2.3.4.5/80")));
    Seed("fuzz_plain_reply", Record(7, QByteArrayLiteral("10.77.128.9")) + QByteArray(1, char(disc.size())) + disc);

    // --- TAVO datagrams through the dispatcher
    Seed("fuzz_tavo_packet", QByteArray(1, '\0') + Record(0, aeteiW));
    Seed("fuzz_tavo_packet", QByteArray(1, '\0') + Record(1, aeteiT) + Record(1, sysiT));
    Seed("fuzz_tavo_packet", QByteArray(1, '\x01') + Record(0, nameW) + Record(0, ownerW) + Record(0, sysiW));
    Seed("fuzz_tavo_packet", QByteArray(1, '\x09') + Record(0, aeteiW) + Record(0, nameW) + Record(0, ownerW) + Record(0, sysiW));
    Seed("fuzz_tavo_packet", QByteArray(1, '\x02') + Record(0, passW));
    Seed("fuzz_tavo_packet", QByteArray(1, '\x03') + Record(0, setIp));
    Seed("fuzz_tavo_packet", QByteArray(1, '\x04') + Record(0, tavowCetei) + Record(0x80, disc));
    Seed("fuzz_tavo_packet", QByteArray(1, '\0') + Record(0, shortSender));

    // --- TCP stream
    Seed("fuzz_tcp_stream", QByteArray(1, '\0') + QByteArray(1, char(asywe1.size())) + asywe1);
    Seed("fuzz_tcp_stream", QByteArray(1, '\0') + QByteArray(1, char(asywe0.size())) + asywe0);
    const QByteArray mixed = Hex("11") + asywe1 + Hex("22") + asywe1.left(5);
    Seed("fuzz_tcp_stream", QByteArray(1, '\0') + QByteArray(1, char(mixed.size())) + mixed
                                + QByteArray(1, char(asywe1.size() - 5)) + asywe1.mid(5));
    const QByteArray restart = asywe1.left(7) + asywe1;
    Seed("fuzz_tcp_stream", QByteArray(1, '\x01') + QByteArray(1, char(restart.size())) + restart);

    // --- the echo filter: an answer and its copy through the other
    // endpoint, a late copy, and a flood from many addresses
    const QByteArray nameRec = QByteArray(1, char(nameW.size())) + nameW;
    Seed("fuzz_echo_filter", QByteArray(1, '\0') + nameRec + QByteArray(1, '\x08') + nameRec);
    Seed("fuzz_echo_filter", QByteArray(1, '\0') + nameRec + QByteArray(1, '\x08') + nameRec + QByteArray(1, '\0') + nameRec
                                 + QByteArray(1, '\x78') + nameRec);
    Seed("fuzz_echo_filter", QByteArray(1, '\x01') + nameRec + QByteArray(1, '\x09') + nameRec + QByteArray(1, '\x12')
                                 + QByteArray(1, char(sysiW.size())) + sysiW);
    Seed("fuzz_echo_filter",
         QByteArray(1, '\x80') + QByteArray(1, '\x81') + QByteArray(1, '\0') + nameRec + QByteArray(1, '\x08') + nameRec);

    // --- discovery replies
    for (const QByteArray &r : {disc, disc2, QByteArrayLiteral("A0.26.75.12.200.3/80/AB0IC/x/o/a/b/10.1.1.1"),
                                QByteArrayLiteral("A/////"), QByteArrayLiteral("A1.2.3.4.5/80")})
        Seed("fuzz_discovery_reply", QByteArray(1, '\0') + r);

    // --- "AETEI" network information: whole, short, with the word given
    for (const QByteArray &d : {Aetei(2, 1), Aetei(1, 0), Aetei(0, 0), Aetei(2, 1).left(13)})
        Seed("fuzz_aetei_reply", Hex("45230100") + QByteArray(1, '\0') + d);
    Seed("fuzz_aetei_reply", Hex("07000000") + QByteArray(1, '\x01') + Aetei(2, 1).mid(5));

    std::printf("%d seeds written under %s\n", g_written, argv[1]);
    return 0;
}
