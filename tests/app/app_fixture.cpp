#include "tests/app/app_fixture.h"

#include "tests/common/TestLan.h"

#include "net/Cp1250.h"
#include "net/DecimalText.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoWire.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>

void AppTest::SetUp()
{
    oldCwd = QDir::currentPath();
    ASSERT_TRUE(dir.isValid());
    QDir::setCurrent(dir.path());
}

void AppTest::TearDown()
{
    windows.reset();
    QDir::setCurrent(oldCwd);
}

void AppTest::create()
{
    windows = std::make_unique<ardel::TArdelWindows>();
}

bool AppTest::waitIdle(int timeoutMs)
{
    return testlan::pumpUntil([this] { return main()->IsIdle(); }, timeoutMs);
}

void AppTest::showAndWaitIdle(int timeoutMs)
{
    if (!windows)
        create();
    main()->show();
    ASSERT_TRUE(waitIdle(timeoutMs));
}

QByteArray AppTest::logBytes() const
{
    // The window's log appends the lines of a turn of the event loop when the
    // loop turns again.
    QCoreApplication::processEvents();
    QFile f(dir.filePath(QStringLiteral("Ardel.log")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList AppTest::memoTexts() const
{
    QStringList out;
    for (const QString &line : main()->MemoLines())
        out.append(line.mid(14)); // "HH:NN:SS:ZZZ: "
    return out;
}

QByteArray DiscoveryReplyOf(const ardel::DeviceRow &row)
{
    using namespace ardel;
    return ToCp1250(QStringLiteral("A") + row.value(RowMac) + QLatin1Char('/') + row.value(RowPort) + QLatin1Char('/')
                    + row.value(RowStatus) + QLatin1Char('/') + row.value(RowHidden) + QLatin1Char('/') + row.value(RowOwner)
                    + QLatin1Char('/') + row.value(RowName));
}

QByteArray AeteiPacketOf(const ardel::DeviceRow &row)
{
    using namespace ardel;
    const auto dotted = [](const QString &text, qsizetype n) {
        QByteArray out(n, '\0');
        const QStringList parts = text.split(QLatin1Char('.'));
        for (qsizetype i = 0; i < n && i < parts.size(); ++i)
            out[i] = char(DigitsOr(parts.at(i), 0));
        return out;
    };
    QByteArray data = QByteArrayLiteral("AETEI") + dotted(row.value(RowMac), 6) + dotted(row.value(RowIp), 4)
                      + dotted(row.value(RowGateway), 4) + dotted(row.value(RowMask), 4);
    data.append(char(0)); // not connected
    TTAVOProtocol codec;
    wire::SetProgramStartValues(codec);
    codec.Felado = DigitsOr(row.value(RowTavow), 0);
    codec.Cimzett = wire::kOwnAddress;
    QByteArray packet;
    codec.Encode(data, packet);
    return packet;
}

void FeedDevices(ardel::Tf_main *m, const QList<ardel::DeviceRow> &rows)
{
    using namespace ardel;
    m->SendCommand(QStringLiteral("X"), QStringLiteral("255.255.255.255"));
    for (const DeviceRow &row : rows) {
        if (row.value(RowTavow).isEmpty())
            m->IdUDPServer1UDPRead(DiscoveryReplyOf(row), row.value(RowIp), wire::kPlainPort);
        else
            m->IdUDPServer1UDPRead(AeteiPacketOf(row), row.value(RowIp), wire::kTavoPort);
    }
    m->UdpTimerTimer();
}

void OnNextModal(std::function<void(QWidget *)> fn, int timeoutMs)
{
    auto *timer = new QTimer;
    auto *elapsed = new QElapsedTimer;
    elapsed->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, elapsed, fn, timeoutMs] {
        QWidget *w = QApplication::activeModalWidget();
        if (!w && elapsed->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete elapsed;
        if (w)
            fn(w);
    });
    timer->start();
}
