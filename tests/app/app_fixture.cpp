#include "tests/app/app_fixture.h"

#include "tests/common/TestLan.h"

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
    return testlan::pumpUntil([this] { return !main()->IsBusy() && !main()->UdpTimer->isActive(); }, timeoutMs);
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
