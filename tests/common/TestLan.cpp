#include "tests/common/TestLan.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QThread>

namespace testlan {

QString deviceNamespace()
{
    return qEnvironmentVariable("ARDEL_DEV_NS");
}

bool pumpUntil(const std::function<bool()> &pred, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void pumpFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

Devsim::Devsim()
{
    static int counter = 0;
    m_dir = QDir::tempPath() + QStringLiteral("/ardel-devsim-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    QDir().mkpath(m_dir);
    m_config = m_dir + QStringLiteral("/devices.json");
    m_journal = m_dir + QStringLiteral("/journal.jsonl");
}

Devsim::~Devsim()
{
    stop();
    QDir(m_dir).removeRecursively();
}

bool Devsim::start(const QJsonObject &config, const QStringList &extraArgs)
{
    stop();
    QFile f(m_config);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(QJsonDocument(config).toJson());
    f.close();
    QFile::remove(m_journal);

    const QString ns = deviceNamespace();
    const QString exe = qEnvironmentVariable("ARDEL_DEVSIM");
    if (ns.isEmpty() || exe.isEmpty())
        return false;
    // Only this run's output counts: an earlier run's "ready" must not
    // pass for this one before its sockets are bound.
    m_output.clear();
    m_proc = std::make_unique<QProcess>();
    m_proc->setProcessChannelMode(QProcess::MergedChannels);
    QStringList args{QStringLiteral("netns"),
                     QStringLiteral("exec"),
                     ns,
                     exe,
                     QStringLiteral("--config"),
                     m_config,
                     QStringLiteral("--journal"),
                     m_journal};
    args += extraArgs;
    m_proc->start(QStringLiteral("ip"), args);
    if (!m_proc->waitForStarted(5000))
        return false;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        if (m_proc->state() == QProcess::NotRunning) {
            m_output += QString::fromLocal8Bit(m_proc->readAll());
            return false;
        }
        m_proc->waitForReadyRead(50);
        m_output += QString::fromLocal8Bit(m_proc->readAll());
        if (m_output.contains(QStringLiteral("ready")))
            return true;
    }
    return false;
}

void Devsim::stop()
{
    if (!m_proc)
        return;
    if (m_proc->state() != QProcess::NotRunning) {
        m_proc->terminate();
        if (!m_proc->waitForFinished(5000)) {
            m_proc->kill();
            m_proc->waitForFinished(2000);
        }
    }
    m_output += QString::fromLocal8Bit(m_proc->readAll());
    m_proc.reset();
}

QString Devsim::output() const
{
    if (m_proc)
        m_output += QString::fromLocal8Bit(m_proc->readAll());
    return m_output;
}

QList<JournalEntry> Devsim::journal() const
{
    QList<JournalEntry> out;
    QFile f(m_journal);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty())
            continue;
        JournalEntry e;
        e.timeMs = o.value(QStringLiteral("t_ms")).toInteger();
        e.proto = o.value(QStringLiteral("proto")).toString();
        e.src = o.value(QStringLiteral("src")).toString();
        e.dst = o.value(QStringLiteral("dst")).toString();
        e.iface = o.value(QStringLiteral("iface")).toString();
        e.bytes = QByteArray::fromHex(o.value(QStringLiteral("hex")).toString().toLatin1());
        e.word = o.value(QStringLiteral("word")).toString();
        e.data = QByteArray::fromHex(o.value(QStringLiteral("data_hex")).toString().toLatin1());
        e.raw = o;
        out.append(e);
    }
    return out;
}

} // namespace testlan
