// End-to-end figures of the real program windows against the device emulator
// on the private LAN of scripts/netns-run.sh (run it through scripts/bench.sh).
//
//   bench_refresh discovery [--devices N] [--spread MS] [--refreshes K] [--extras]
//   bench_refresh tavo      [--devices N] [--spread MS] [--probes K] [--goal X] [--endpoints 1|2]
//   bench_refresh startup   --ardel EXE --bare EXE [--reps K]
//   bench_refresh listen    (internal: prints the wall clock of the first datagram to UDP 65535)
//
// discovery: the first refresh (on show) and K refreshes by bbtn_refresh: wall
//   time from the click to idle against 4 x (500 ms + spread), rows, replies the
//   emulator sent vs replies the window handled, the longest main-thread stall,
//   peak RSS; --extras adds header-click sorting, export and the memo's growth.
// tavo: round trip of one TAVOW request (probe socket, and from the emulator's
//   journal during the pass), then the "Tavow frissítés" pass against
//   N x 3 x round trip + 750 ms. --endpoints 1 keeps only the devices' segment
//   open (through the network dialog, as a user of a two-adapter workstation
//   would): every request then goes out once, as the probe's does.
// startup: wall clock from exec to the first "X" on the wire, beside a bare Qt
//   Widgets window's first expose (bench_bare_window).
#include "app/ArdelWindows.h"
#include "bench/BenchSupport.h"
#include "app/MainWindowProbe.h"
#include "app/MemoryPlatform.h"
#include "net/EventLoop.h"
#include "net/TextUtil.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoWire.h"
#include "tests/common/TestLan.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMouseEvent>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

using namespace ardel;
using ardelbench::LoadAverage;

namespace {

// The window's state beyond its widgets, read-only.
ardel::TMainWindowProbe Probe(const ardel::Tf_main *m)
{
    return ardel::TMainWindowProbe(*m);
}

// A control of the window by its object name.
template <class T> T *Control(const QObject *root, const char *name)
{
    return root->findChild<T *>(QLatin1String(name));
}

// ---------------------------------------------------------------- helpers

struct Args {
    QString mode;
    int devices = 2000;
    int spread = 50;
    int refreshes = 3;
    int probes = 200;
    int reps = 7;
    bool extras = false;
    QString ardel;
    QString bare;
    QString cli;
    int minutes = 60;
    int periodMs = 3000;
    int tavoEvery = 10;
    double tavoShare = 0.25;
    double goal = 1.2; // tavo: wall against the formula
    int endpoints = 2; // tavo: 1 = only the first address's connection
};

Args ParseArgs(const QStringList &a)
{
    Args r;
    r.mode = a.value(1);
    for (int i = 2; i < a.size(); ++i) {
        const QString k = a.at(i);
        const QString v = a.value(i + 1);
        if (k == QLatin1String("--extras")) {
            r.extras = true;
            continue;
        }
        ++i;
        if (k == QLatin1String("--cli")) {
            r.cli = v;
            continue;
        }
        if (k == QLatin1String("--minutes"))
            r.minutes = v.toInt();
        else if (k == QLatin1String("--period"))
            r.periodMs = v.toInt();
        else if (k == QLatin1String("--tavo-every"))
            r.tavoEvery = v.toInt();
        else if (k == QLatin1String("--tavo-share"))
            r.tavoShare = v.toDouble();
        else if (k == QLatin1String("--goal"))
            r.goal = v.toDouble();
        else if (k == QLatin1String("--devices"))
            r.devices = v.toInt();
        else if (k == QLatin1String("--spread"))
            r.spread = v.toInt();
        else if (k == QLatin1String("--refreshes"))
            r.refreshes = v.toInt();
        else if (k == QLatin1String("--probes"))
            r.probes = v.toInt();
        else if (k == QLatin1String("--endpoints"))
            r.endpoints = v.toInt();
        else if (k == QLatin1String("--reps"))
            r.reps = v.toInt();
        else if (k == QLatin1String("--ardel"))
            r.ardel = v;
        else if (k == QLatin1String("--bare"))
            r.bare = v;
        else {
            std::fprintf(stderr, "unknown argument %s\n", qPrintable(k));
            std::exit(2);
        }
    }
    return r;
}

double PeakRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

double CurrentRssMb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

qint64 RealtimeNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

// Longest gap between ticks of a 1 ms timer on the main thread: how long the
// event loop was held by one piece of work.
class StallWatch : public QObject {
public:
    StallWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_max = std::max(m_max, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    void Reset()
    {
        m_last = m_clock.nsecsElapsed();
        m_max = 0;
    }
    double MaxMs()
    {
        // The gap still open counts too.
        m_max = std::max(m_max, m_clock.nsecsElapsed() - m_last);
        return double(m_max) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_max = 0;
};

// Runs the event loop until the main window becomes idle or timeoutMs passes;
// returns the nanoseconds from start (t0 of clock) to the idle signal.
std::optional<qint64> RunUntilIdle(Tf_main *m, const QElapsedTimer &clock, int timeoutMs)
{
    std::optional<qint64> idleAt;
    QEventLoop loop;
    const auto c = QObject::connect(m, &Tf_main::idle, &loop, [&] {
        if (m->IsIdle()) {
            idleAt = clock.nsecsElapsed();
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    return idleAt;
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// CPU time (user + system) of this thread.
double ThreadCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// With ARDEL_PERF_CTL naming the control FIFO of `perf record -D -1
// --control fifo:FIFO`, the profile covers only the measured exchange.
void PerfControl(const char *command)
{
    const QByteArray fifo = qgetenv("ARDEL_PERF_CTL");
    if (fifo.isEmpty())
        return;
    QFile f(QFile::decodeName(fifo));
    if (f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        f.write(QByteArray(command) + '\n');
}

// CPU time (user + system) of a whole process, from /proc.
double ProcessCpuMs(pid_t pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = f.readAll();
    // Fields after the command's closing parenthesis; utime and stime are the 14th and 15th.
    const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (rest.size() < 13)
        return 0;
    return double(rest.at(11).toLongLong() + rest.at(12).toLongLong()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// The emulator is our child (`ip netns exec` replaces itself with it).
pid_t EmulatorPid()
{
    const pid_t self = getpid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        bool ok = false;
        const int pid = e.toInt(&ok);
        if (!ok)
            continue;
        QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = f.readAll();
        const qsizetype close = s.lastIndexOf(')');
        if (close < 0 || !s.contains("(ardel-devsim)"))
            continue;
        const QList<QByteArray> rest = s.mid(close + 2).split(' ');
        if (rest.size() > 1 && rest.at(1).toInt() == self)
            return pid_t(pid);
    }
    return -1;
}

struct SimStats {
    qint64 received = -1;
    qint64 sent = -1;
    qint64 pending = -1;
    qint64 errors = -1;
};

// Asks the emulator for its counts (SIGUSR1) and waits for the line.
SimStats QueryStats(testlan::Devsim &sim, pid_t pid)
{
    SimStats s;
    if (pid <= 0)
        return s;
    const qsizetype before = sim.output().count(QStringLiteral("devsim stats:"));
    ::kill(pid, SIGUSR1);
    QElapsedTimer t;
    t.start();
    QString out;
    while (t.elapsed() < 3000) {
        RunFor(10);
        out = sim.output();
        if (out.count(QStringLiteral("devsim stats:")) > before)
            break;
    }
    const QString line = out.mid(out.lastIndexOf(QStringLiteral("devsim stats:"))).section(QLatin1Char('\n'), 0, 0);
    const auto num = [&line](const char *key) {
        const QRegularExpression re(QLatin1String(key) + QStringLiteral("=(\\d+)"));
        const QRegularExpressionMatch m = re.match(line);
        return m.hasMatch() ? m.captured(1).toLongLong() : -1;
    };
    s.received = num("udp received");
    s.sent = num("replies sent");
    s.pending = num("pending");
    s.errors = num("send errors");
    return s;
}

bool StartSim(testlan::Devsim &sim, int devices, int spread, double tavoShare)
{
    if (qEnvironmentVariableIsEmpty("ARDEL_DEVSIM"))
        qputenv("ARDEL_DEVSIM", QByteArrayLiteral(ARDEL_DEVSIM_PATH));
    if (testlan::deviceNamespace().isEmpty()) {
        std::fprintf(stderr, "not inside scripts/netns-run.sh (ARDEL_DEV_NS is unset)\n");
        return false;
    }
    QStringList extra{QStringLiteral("--generate"), QString::number(devices)};
    // The emulator's default base (10.77.128.1) holds 32,767 devices; a
    // nearly full /16 starts at 10.77.1.0 (local in the device namespace too).
    if (devices > 32767)
        extra << QStringLiteral("--base") << QStringLiteral("10.77.1.0");
    if (tavoShare > 0)
        extra << QStringLiteral("--tavo-share") << QString::number(tavoShare);
    const QJsonObject cfg{{QStringLiteral("answer_spread_ms"), spread}, {QStringLiteral("devices"), QJsonArray()}};
    if (!sim.start(cfg, extra)) {
        std::fprintf(stderr, "emulator did not start: %s\n", qPrintable(sim.output()));
        return false;
    }
    return true;
}

// Lines in the message pane (this hands it any lines still pending).
int MemoLines(Tf_main *m)
{
    return int(m->MemoLines().size());
}

qint64 FileSize(const QString &path)
{
    return QFileInfo(path).size();
}

// Commands the workstation's first address sent to port 65535, as emulator times (ms).
std::vector<std::pair<qint64, QString>> PlainCommands(const testlan::Devsim &sim)
{
    std::vector<std::pair<qint64, QString>> out;
    for (const testlan::JournalEntry &e : sim.journal())
        if (e.src == QLatin1String("10.77.0.1:1010") && e.dst.endsWith(QLatin1String(":65535")))
            out.emplace_back(e.timeMs, QString::fromLatin1(e.bytes));
    return out;
}

// One refresh as measured.
struct RefreshFigures {
    double wallMs = 0;
    int rows = 0;
    qint64 sent = 0;
    qint64 handled = 0;
    qint64 pending = 0;
    double stallMs = 0;
    double peakRssMb = 0;
    double rssMb = 0;
    double idleRssMb = 0; // when the exchange ended, before anything here read the window
    int memoLines = 0;
    bool idle = false;
};

// readMemo: count the pane's lines (hands the held-back lines to the hidden
// pane, which a user's run never does).
RefreshFigures MeasureRefresh(Tf_main *m, testlan::Devsim &sim, pid_t pid, StallWatch &watch, const std::function<void()> &start,
                              int timeoutMs, bool readMemo = true)
{
    RefreshFigures f;
    const SimStats before = QueryStats(sim, pid);
    const quint64 handledBefore = Probe(m).PlainDatagramsHandled();
    QElapsedTimer clock;
    watch.Reset();
    clock.start();
    start();
    const std::optional<qint64> idleAt = RunUntilIdle(m, clock, timeoutMs);
    f.stallMs = watch.MaxMs();
    f.idle = idleAt.has_value();
    f.idleRssMb = CurrentRssMb();
    f.wallMs = idleAt ? double(*idleAt) / 1e6 : double(clock.nsecsElapsed()) / 1e6;
    // Late datagrams, if any, are counted too.
    RunFor(200);
    const SimStats after = QueryStats(sim, pid);
    f.rows = Probe(m).Table().RowCount();
    f.sent = after.sent - before.sent;
    f.pending = after.pending;
    f.handled = qint64(Probe(m).PlainDatagramsHandled() - handledBefore);
    f.peakRssMb = PeakRssMb();
    f.rssMb = CurrentRssMb();
    f.memoLines = readMemo ? MemoLines(m) : -1;
    return f;
}

void PrintRefresh(const char *label, const RefreshFigures &f, double floorMs, int devices, double goalRatio,
                  const QString &phases)
{
    const bool ok = f.idle && f.rows == devices && f.handled == f.sent && f.wallMs <= goalRatio * floorMs && f.stallMs <= 100.0;
    std::printf("%-12s wall %7.1f ms  floor %6.0f ms  ratio %.3f  rows %d/%d  replies sent %lld handled %lld (lost %lld, "
                "emulator pending %lld)"
                "  max stall %6.1f ms  rss %.1f MB peak %.1f MB  memo %d lines  [%s]%s\n",
                label, f.wallMs, floorMs, f.wallMs / floorMs, f.rows, devices, static_cast<long long>(f.sent),
                static_cast<long long>(f.handled), static_cast<long long>(f.sent - f.handled), static_cast<long long>(f.pending),
                f.stallMs, f.rssMb, f.peakRssMb, f.memoLines, ok ? "goal met" : "GOAL MISSED", qPrintable(phases));
    std::fflush(stdout);
}

// Gaps between the four commands of the last refresh (emulator clock).
QString PhaseText(const std::vector<std::pair<qint64, QString>> &cmds, size_t from)
{
    QStringList parts;
    for (size_t i = from; i + 1 < cmds.size(); ++i)
        parts << QStringLiteral("%1->%2 %3").arg(cmds[i].second, cmds[i + 1].second).arg(cmds[i + 1].first - cmds[i].first);
    return parts.isEmpty() ? QString() : QStringLiteral(" phases ms: ") + parts.join(QStringLiteral(", "));
}

void ClickHeader(QTableView *view, int column)
{
    QHeaderView *h = view->horizontalHeader();
    const QPoint at(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2);
    const QPointF local(at);
    const QPointF global(h->viewport()->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(h->viewport(), &press);
    QApplication::sendEvent(h->viewport(), &release);
}

// ---------------------------------------------------------------- discovery

int RunDiscovery(const Args &a)
{
    const double floorMs = 4.0 * (500.0 + a.spread);
    // 10,000 devices had 1.15 x; the nearly full /16 is held to 1.10 x again.
    const double goal = a.devices > 5000 && a.devices < 50000 ? 1.15 : 1.10;
    std::printf("== discovery: %d devices, answer spread %d ms, floor 4 x (500 + %d) = %.0f ms, goal wall <= %.2f x floor, "
                "stall <= 100 ms%s%s; load %s\n",
                a.devices, a.spread, a.spread, floorMs, goal, a.devices > 5000 ? ", peak RSS < 300 MB" : "",
                a.devices >= 50000 ? ", sort <= 100 ms" : "", qPrintable(LoadAverage()));
    std::printf("baseline rss before windows: %.1f MB\n", CurrentRssMb());
    testlan::Devsim sim;
    if (!StartSim(sim, a.devices, a.spread, 0))
        return 1;
    const pid_t pid = EmulatorPid();
    StallWatch watch;

    auto windows = std::make_unique<TArdelWindows>();
    Tf_main *m = windows->f_main.get();
    const QString exportPath = QDir::current().absoluteFilePath(QStringLiteral("export.csv"));
    m->SetExportFileNameSource([exportPath] { return exportPath; });
    m->SetUrlOpener([](const QString &) { return false; });

    const int timeout = int(floorMs * 6) + 20000;
    std::vector<double> clickWalls;
    size_t cmdFrom = 0;
    std::vector<RefreshFigures> all;
    for (int k = 0; k <= a.refreshes; ++k) {
        const RefreshFigures f = MeasureRefresh(
            m, sim, pid, watch, [&] { k == 0 ? m->show() : Control<QPushButton>(m, "bbtn_refresh")->click(); }, timeout);
        RunFor(60); // the journal is flushed every 40 ms
        const auto cmds = PlainCommands(sim);
        const QString label = k == 0 ? QStringLiteral("show") : QStringLiteral("click %1").arg(k);
        PrintRefresh(qPrintable(label), f, floorMs, a.devices, goal, PhaseText(cmds, cmdFrom));
        cmdFrom = cmds.size();
        if (k > 0)
            clickWalls.push_back(f.wallMs);
        all.push_back(f);
    }
    double worstStall = 0;
    qint64 lost = 0;
    bool rowsOk = true;
    for (size_t k = 1; k < all.size(); ++k) {
        worstStall = std::max(worstStall, all[k].stallMs);
        lost += all[k].sent - all[k].handled;
        rowsOk = rowsOk && all[k].rows == a.devices;
    }
    const double med = Median(clickWalls);
    const double worst = clickWalls.empty() ? 0 : *std::max_element(clickWalls.begin(), clickWalls.end());
    std::printf("SUMMARY discovery %d/%d ms: click-to-idle median %.1f ms (%.3f x floor), worst %.1f ms (%.3f x floor), "
                "rows %s, lost %lld, worst stall %.1f ms, peak RSS %.1f MB\n",
                a.devices, a.spread, med, med / floorMs, worst, worst / floorMs, rowsOk ? "all" : "MISSING",
                static_cast<long long>(lost), worstStall, PeakRssMb());

    if (a.extras) {
        std::printf("-- table operations on %d rows (load %s)\n", Probe(m).Table().RowCount(), qPrintable(LoadAverage()));
        QTableView *view = Control<QTableView>(m, "ngrid_machine_list");
        const struct {
            int column;
            const char *name;
        } sorts[] = {{ColDeviceName, "Készüléknév"},
                     {ColOwner, "Tulajdonos"},
                     {ColMac, "MAC cím"},
                     {ColIp, "IP cím"},
                     {ColIp, "IP cím (again)"}};
        for (const auto &s : sorts) {
            QElapsedTimer t;
            watch.Reset();
            t.start();
            ClickHeader(view, s.column);
            QCoreApplication::processEvents(); // the view's relayout and repaint
            const double ms = double(t.nsecsElapsed()) / 1e6;
            std::printf("sort by header click %-16s %7.1f ms (order %s, first row %s)\n", s.name, ms,
                        Probe(m).Table().SortOrder() == Qt::AscendingOrder ? "asc" : "desc",
                        qPrintable(Probe(m).Table().Cell(0, s.column)));
        }
        // Back to ascending IP order, as at start.
        view->sortByColumn(ColIp, Qt::AscendingOrder);
        QCoreApplication::processEvents();
        {
            QElapsedTimer t;
            t.start();
            Control<QPushButton>(m, "bbtn_export")->click();
            const double ms = double(t.nsecsElapsed()) / 1e6;
            QFile f(exportPath);
            qint64 lines = 0;
            if (f.open(QIODevice::ReadOnly))
                lines = f.readAll().count("\r\n");
            std::printf("export (bbtn_export, incl. the hidden export memo) %7.1f ms, %lld lines, %lld bytes\n", ms,
                        static_cast<long long>(lines), static_cast<long long>(FileSize(exportPath)));
            QElapsedTimer t2;
            t2.start();
            m->ExportTo(exportPath);
            std::printf("export file only (ExportTo)                      %7.1f ms\n", double(t2.nsecsElapsed()) / 1e6);
        }
        std::printf("memo: %d lines (cap %d), Ardel.log %lld bytes, rss %.1f MB, peak %.1f MB\n", MemoLines(m),
                    Tf_main::kMemoMaxLines, static_cast<long long>(FileSize(QStringLiteral("Ardel.log"))), CurrentRssMb(),
                    PeakRssMb());
    }
    windows.reset();
    sim.stop();
    return 0;
}

// ---------------------------------------------------------------- tavo

// Round trip of one TAVOW request ("CSYSI") from a socket of our own.
std::vector<double> ProbeRoundTrips(int devices, int probes)
{
    std::vector<double> out;
    QUdpSocket s;
    if (!s.bind(QHostAddress(QString::fromLatin1(testlan::kWsAddr0)), 0))
        return out;
    TTAVOProtocol codec;
    codec.Felado = 250;
    codec.Felado_rovid_cim = 250;
    codec.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVOW;
    for (int i = 0; i < probes; ++i) {
        const int dev = i % devices;
        // Generated devices sit on consecutive addresses from 10.77.128.1 with TAVOW addresses from 1000.
        const QHostAddress to(QHostAddress(QStringLiteral("10.77.128.1")).toIPv4Address() + quint32(dev));
        codec.Cimzett = 1000u + quint32(dev);
        codec.CsomagSorszam = quint32(i % 200 + 1);
        QByteArray packet;
        codec.Encode(QByteArrayLiteral("CSYSI"), packet);
        QElapsedTimer t;
        t.start();
        s.writeDatagram(packet, to, wire::kTavoPort);
        bool got = false;
        while (t.elapsed() < 1000 && !got) {
            if (!s.waitForReadyRead(1000 - int(t.elapsed())))
                break;
            while (s.hasPendingDatagrams()) {
                const QNetworkDatagram d = s.receiveDatagram();
                if (d.senderAddress().toIPv4Address() == to.toIPv4Address())
                    got = true;
            }
        }
        if (got)
            out.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return out;
}

// Through the network dialog: clear every connection box but the first
// address's, and confirm.
bool KeepFirstConnectionOnly(Tf_main *m)
{
    bool seen = false;
    QTimer::singleShot(0, m, [&seen] {
        QWidget *d = QApplication::activeModalWidget();
        if (!d || d->objectName() != QLatin1String("f_netparam"))
            return;
        seen = true;
        for (QCheckBox *box : d->findChildren<QCheckBox *>()) {
            if (box->accessibleName().isEmpty())
                continue; // the template, never shown
            if (box->isChecked() != box->accessibleName().contains(QLatin1String(testlan::kWsAddr0)))
                box->click();
        }
        Control<QPushButton>(d, "bbtn_set")->click();
    });
    Control<QPushButton>(m, "bbtn_net")->click();
    std::printf("endpoints: %s, status \"%s\"\n", seen ? "first address only" : "DIALOG NOT SEEN", qPrintable(m->StatusPanel(3)));
    return seen;
}

int RunTavo(const Args &a)
{
    std::printf("== TAVOW pass: %d TAVO devices, answer spread %d ms; load %s\n", a.devices, a.spread, qPrintable(LoadAverage()));
    testlan::Devsim sim;
    if (!StartSim(sim, a.devices, a.spread, 1.0))
        return 1;
    const pid_t pid = EmulatorPid();
    StallWatch watch;
    auto windows = std::make_unique<TArdelWindows>();
    Tf_main *m = windows->f_main.get();
    QElapsedTimer c0;
    c0.start();
    m->show();
    if (!RunUntilIdle(m, c0, 30000)) {
        std::printf("first discovery did not end\n");
        return 1;
    }
    std::printf("discovery before the pass: %d rows\n", Probe(m).Table().RowCount());
    if (a.endpoints == 1 && !KeepFirstConnectionOnly(m))
        return 1;

    const std::vector<double> rt = ProbeRoundTrips(a.devices, a.probes);
    const double rtMed = Median(rt);
    std::printf("probe round trip (CSYSI, own socket, %zu of %d answered): median %.3f ms, p90 %.3f ms, max %.3f ms\n", rt.size(),
                a.probes, rtMed, Quantile(rt, 0.9), rt.empty() ? 0.0 : *std::max_element(rt.begin(), rt.end()));

    RunFor(100); // the probes' journal lines are flushed every 40 ms
    const qsizetype journalBefore = sim.journal().size();
    const SimStats before = QueryStats(sim, pid);
    const quint64 tavoBefore = Probe(m).TavoDatagramsHandled();
    QElapsedTimer clock;
    watch.Reset();
    const double cpu0 = ThreadCpuMs();
    const double simCpu0 = ProcessCpuMs(pid);
    PerfControl("enable");
    clock.start();
    // The requests start after the three broadcasts, 250 ms apart, and 250 ms
    // more: the main thread's CPU from then on is the requests' own.
    double cpuAt750 = -1;
    qint64 wallAt750 = 0;
    QTimer::singleShot(750, Qt::PreciseTimer, m, [&] {
        cpuAt750 = ThreadCpuMs();
        wallAt750 = clock.nsecsElapsed();
    });
    Control<QPushButton>(m, "bbtn_tavorefresh")->click();
    const std::optional<qint64> idleAt = RunUntilIdle(m, clock, 600000);
    PerfControl("disable");
    const double cpuMs = ThreadCpuMs() - cpu0;
    const double simCpuMs = ProcessCpuMs(pid) - simCpu0;
    const double stall = watch.MaxMs();
    const double wallMs = idleAt ? double(*idleAt) / 1e6 : double(clock.nsecsElapsed()) / 1e6;
    RunFor(300);
    const SimStats after = QueryStats(sim, pid);

    // Requests of the pass as the emulator saw them, from the first address.
    const QList<testlan::JournalEntry> j = sim.journal().mid(journalBefore);
    std::map<QString, std::vector<qint64>> perDevice;
    std::vector<std::pair<qint64, QString>> seq;
    int fromFirst = 0;
    int requests = 0;
    for (const testlan::JournalEntry &e : j) {
        if (!e.dst.endsWith(QLatin1String(":65500")) || e.word == QLatin1String("CETEI"))
            continue;
        ++requests;
        if (e.src != QLatin1String("10.77.0.1:1010"))
            continue;
        ++fromFirst;
        const QString dev = e.dst.section(QLatin1Char(':'), 0, 0);
        perDevice[dev].push_back(e.timeMs);
        seq.emplace_back(e.timeMs, dev);
    }
    // Gap from one request to the next one sent to the same device: one round trip
    // including the program's own handling of the reply.
    std::vector<double> inner;
    for (const auto &[dev, times] : perDevice)
        for (size_t i = 1; i < times.size(); ++i)
            inner.push_back(double(times[i] - times[i - 1]));
    int resent = 0;
    for (const auto &[dev, times] : perDevice)
        resent += std::max(0, int(times.size()) - 3);

    int complete = 0;
    const TDeviceTableModel *t = &Probe(m).Table();
    for (int r = 0; r < t->RowCount(); ++r)
        if (!t->Cell(r, ColDeviceName).isEmpty() && !t->Cell(r, ColOwner).isEmpty()
            && t->Cell(r, ColVersion).startsWith(QLatin1String("P:")))
            ++complete;
    int giveUps = 0;
    const QStringList memo = m->MemoLines();
    // (discovery writes no such line; the pane keeps the last kMemoMaxLines only)
    for (const QString &line : memo)
        if (line.contains(QLatin1String("Túl sok TAVOW hiba")))
            ++giveUps;

    const double passStart = seq.empty() ? 0 : double(seq.front().first);
    const double passEnd = seq.empty() ? 0 : double(seq.back().first);
    const double floorProbe = a.devices * 3 * rtMed + 750.0;
    const double rtInner = Median(inner);
    const double floorInner = a.devices * 3 * (seq.size() > 1 ? (passEnd - passStart) / double(seq.size() - 1) : 0) + 750.0;
    std::printf("pass: wall %.1f ms from the click to idle; %d rows, %d complete (name, owner, version); %d devices asked, "
                "%d requests from 10.77.0.1 (%d resends), %d requests in all (both endpoints); %d give-ups\n",
                wallMs, t->RowCount(), complete, int(perDevice.size()), fromFirst, resent, requests, giveUps);
    std::printf("pass: emulator replies sent %lld, TAVO datagrams handled %lld (lost %lld), emulator pending %lld; "
                "requests spanned %.0f ms of emulator time; max stall %.1f ms; peak RSS %.1f MB\n",
                static_cast<long long>(after.sent - before.sent),
                static_cast<long long>(Probe(m).TavoDatagramsHandled() - tavoBefore),
                static_cast<long long>((after.sent - before.sent) - qint64(Probe(m).TavoDatagramsHandled() - tavoBefore)),
                static_cast<long long>(after.pending), passEnd - passStart, stall, PeakRssMb());
    const double rtMean = seq.size() > 1 ? (passEnd - passStart) / double(seq.size() - 1) : 0;
    std::printf("round trip inside the pass (request to the next request, emulator clock): mean %.3f ms over %zu requests; "
                "per device (1 ms resolution) median %.2f ms, p90 %.2f ms\n",
                rtMean, seq.size(), rtInner, Quantile(inner, 0.9));
    // Busy or waiting: the main thread's CPU time over the pass (the stall
    // watch's 1 ms timer included), and the emulator's (1/CLK_TCK resolution).
    std::printf("CPU over the pass: this main thread %.1f ms (%.3f ms per request of the first address), emulator %.0f ms\n",
                cpuMs, fromFirst > 0 ? cpuMs / fromFirst : 0.0, simCpuMs);
    if (cpuAt750 >= 0 && fromFirst > 0) {
        const double reqCpu = cpu0 + cpuMs - cpuAt750;
        const double reqWall = wallMs - double(wallAt750) / 1e6;
        std::printf("requests (750 ms after the click to idle): wall %.1f ms, main thread CPU %.1f ms (busy %.0f %%): "
                    "%.1f us of CPU and %.1f us of wall per request of the first address\n",
                    reqWall, reqCpu, reqWall > 0 ? 100.0 * reqCpu / reqWall : 0.0, 1000.0 * reqCpu / fromFirst,
                    1000.0 * reqWall / fromFirst);
    }
    // Where the pass waited: the longest gaps between consecutive requests.
    std::vector<std::pair<qint64, size_t>> gaps;
    for (size_t i = 1; i < seq.size(); ++i)
        gaps.emplace_back(seq[i].first - seq[i - 1].first, i);
    std::sort(gaps.begin(), gaps.end(), std::greater<>());
    qint64 gapSum = 0;
    for (size_t k = 0; k < gaps.size() && k < 50; ++k)
        gapSum += gaps[k].first;
    std::printf("longest gaps between requests:");
    for (size_t k = 0; k < gaps.size() && k < 5; ++k)
        std::printf(" %lld ms before %s (request %zu)", static_cast<long long>(gaps[k].first),
                    qPrintable(seq[gaps[k].second].second), gaps[k].second);
    std::printf("; the 50 longest: %lld ms\n", static_cast<long long>(gapSum));
    std::printf("SUMMARY tavo %d: wall %.1f ms vs N x 3 x probe RT + 750 = %.1f ms -> %.3f x (goal <= %.2f) %s; "
                "vs N x 3 x in-pass mean RT + 750 = %.1f ms -> %.3f x\n",
                a.devices, wallMs, floorProbe, wallMs / floorProbe, a.goal,
                wallMs <= a.goal * floorProbe ? "goal met" : "GOAL MISSED", floorInner, wallMs / floorInner);
    std::fflush(stdout);
    windows.reset();
    sim.stop();
    return 0;
}

// ---------------------------------------------------------------- command-line scan

// ardel-cli scan against the emulated devices: process start to exit, and the
// client's peak RSS (its own, from the kernel's accounting of reaped children).
int RunCliScan(const Args &a)
{
    testlan::Devsim sim;
    if (!StartSim(sim, a.devices, a.spread, 0))
        return 1;
    const double floorMs = 4.0 * (500 + a.spread);
    std::printf("== ardel-cli scan: %d devices, answer spread %d ms, floor 4 x (500 + %d) = %.0f ms, goal wall <= 1.05 x floor, "
                "peak RSS <= 60 MB; load %s\n",
                a.devices, a.spread, a.spread, floorMs, qPrintable(LoadAverage()));
    std::vector<double> walls;
    for (int run = 0; run < a.refreshes; ++run) {
        QProcess p;
        QElapsedTimer clock;
        clock.start();
        p.start(a.cli, {QStringLiteral("scan"), QStringLiteral("--no-log"), QStringLiteral("--format"), QStringLiteral("csv")});
        if (!p.waitForFinished(120000)) {
            std::printf("ardel-cli did not end\n");
            return 1;
        }
        const double wallMs = clock.nsecsElapsed() / 1e6;
        const int rows = int(p.readAllStandardOutput().count('\n')) - 1;
        struct rusage ru {};
        getrusage(RUSAGE_CHILDREN, &ru);
        const double rssMb = ru.ru_maxrss / 1024.0;
        walls.push_back(wallMs);
        std::printf("run %d  wall %8.1f ms  ratio %.3f  rows %d/%d  exit %d  peak RSS (largest reaped child) %.1f MB  [%s]\n",
                    run + 1, wallMs, wallMs / floorMs, rows, a.devices, p.exitCode(), rssMb,
                    wallMs <= 1.05 * floorMs && rssMb <= 60 && rows == a.devices ? "goal met" : "GOAL MISSED");
    }
    std::sort(walls.begin(), walls.end());
    std::printf("SUMMARY cli scan %d/%d ms: median %.1f ms (%.3f x floor), worst %.1f ms (%.3f x floor)\n", a.devices, a.spread,
                walls[walls.size() / 2], walls[walls.size() / 2] / floorMs, walls.back(), walls.back() / floorMs);
    std::fflush(stdout);
    sim.stop();
    return 0;
}

// ---------------------------------------------------------------- soak

// The log file within its limit and made of whole lines: it starts with a
// line's "yy.mm.dd hh:nn:" stamp and ends with a line end.
bool LogFileSound(const QString &path, qint64 limit, qint64 *size)
{
    QFile f(path);
    *size = f.size();
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(15);
    f.seek(qMax<qint64>(0, f.size() - 2));
    const QByteArray tail = f.read(2);
    const bool stamped = head.size() == 15 && head.at(2) == '.' && head.at(5) == '.' && head.at(8) == ' ' && head.at(11) == ':'
                         && head.at(14) == ':';
    const bool sound = *size <= limit && stamped && tail == "\r\n";
    if (!sound)
        std::printf("log check failed: size %lld, starts \"%s\", ends %s\n", static_cast<long long>(*size),
                    head.toPercentEncoding().constData(), tail.toHex().constData());
    return sound;
}

// Refreshes every periodMs for minutes, a TAVOW pass every tavoEvery-th
// time: memory after the first 5 minutes, lost replies, rows of every
// refresh, and the log file after each of its cuts. The message pane is not
// read: it stays hidden in a user's run, and reading it here would hand its
// held-back lines to the widget and build a list of 20,000 strings in this
// process, which the samples would count as the program's.
int RunSoak(const Args &a)
{
    std::printf("== soak: %d devices (%.0f %% TAVO), spread %d ms, a refresh every %d ms for %d min, a TAVOW pass every %d; "
                "goals: RSS growth after 5 min <= 5 MB, 0 lost, every refresh lists all, log within its limit, whole lines; "
                "load %s\n",
                a.devices, a.tavoShare * 100, a.spread, a.periodMs, a.minutes, a.tavoEvery, qPrintable(LoadAverage()));
    testlan::Devsim sim;
    if (!StartSim(sim, a.devices, a.spread, a.tavoShare))
        return 1;
    const pid_t pid = EmulatorPid();
    StallWatch watch;
    auto windows = std::make_unique<TArdelWindows>();
    Tf_main *m = windows->f_main.get();
    const QString logPath = QDir::current().absoluteFilePath(QStringLiteral("Ardel.log"));
    constexpr qint64 kLogLimit = 10000000;
    const int timeout = 4 * (500 + a.spread) * 6 + 20000;

    QElapsedTimer soak;
    soak.start();
    const qint64 endMs = qint64(a.minutes) * 60000;
    double rssAt5 = -1, rssMax = 0;
    double idleAt5 = -1, idleMax = 0; // sampled when each exchange ended
    qint64 lostPlain = 0, lostTavo = 0, logMax = 0, previousLog = 0;
    int refreshes = 0, passes = 0, shortRefreshes = 0, cuts = 0, logFaults = 0;
    double worstStall = 0;
    for (int k = 0; soak.elapsed() < endMs; ++k) {
        QElapsedTimer period;
        period.start();
        double idleRss = 0;
        if (k > 0 && a.tavoEvery > 0 && k % a.tavoEvery == 0) {
            const SimStats before = QueryStats(sim, pid);
            const quint64 tavoBefore = Probe(m).TavoDatagramsHandled();
            QElapsedTimer clock;
            clock.start();
            Control<QPushButton>(m, "bbtn_tavorefresh")->click();
            RunUntilIdle(m, clock, 120000);
            idleRss = CurrentRssMb();
            RunFor(200);
            const SimStats after = QueryStats(sim, pid);
            lostTavo += (after.sent - before.sent) - qint64(Probe(m).TavoDatagramsHandled() - tavoBefore);
            ++passes;
        } else {
            const RefreshFigures f = MeasureRefresh(
                m, sim, pid, watch, [&] { k == 0 ? m->show() : Control<QPushButton>(m, "bbtn_refresh")->click(); }, timeout,
                false);
            idleRss = f.idleRssMb;
            lostPlain += f.sent - f.handled;
            worstStall = std::max(worstStall, f.stallMs);
            shortRefreshes += f.rows == a.devices ? 0 : 1;
            ++refreshes;
        }
        qint64 logSize = 0;
        if (!LogFileSound(logPath, kLogLimit, &logSize))
            ++logFaults;
        if (logSize < previousLog)
            ++cuts;
        previousLog = logSize;
        logMax = std::max(logMax, logSize);
        const double rss = CurrentRssMb();
        if (soak.elapsed() >= 5 * 60000 && rssAt5 < 0) {
            rssAt5 = rss;
            idleAt5 = idleRss;
        }
        if (rssAt5 >= 0) {
            rssMax = std::max(rssMax, rss);
            idleMax = std::max(idleMax, idleRss);
        }
        if (k % 20 == 0) {
            std::printf("%6.1f min  refreshes %d  passes %d  rss %.1f MB (%.1f at the exchange's end)  log %lld bytes (%d cuts)  "
                        "lost %lld + %lld  load %s\n",
                        soak.elapsed() / 60000.0, refreshes, passes, rss, idleRss, static_cast<long long>(logSize), cuts,
                        static_cast<long long>(lostPlain), static_cast<long long>(lostTavo), qPrintable(LoadAverage()));
            std::fflush(stdout);
        }
        const qint64 rest = a.periodMs - period.elapsed();
        if (rest > 0)
            RunFor(int(rest));
    }
    const double growth = rssAt5 < 0 ? 0 : rssMax - rssAt5;
    const bool ok = (rssAt5 < 0 || growth <= 5.0) && lostPlain == 0 && lostTavo == 0 && shortRefreshes == 0 && logFaults == 0;
    std::printf("SUMMARY soak %d min: %d refreshes (%d short of %d rows), %d TAVOW passes, lost %lld plain + %lld TAVO, "
                "RSS at 5 min %.1f MB, max after %.1f MB (growth %.1f MB; sampled at each exchange's end: %.1f, max %.1f, "
                "growth %.1f MB), worst stall %.1f ms, log max %lld bytes, %d cuts, "
                "%d checks of the log failed [%s]\n",
                a.minutes, refreshes, shortRefreshes, a.devices, passes, static_cast<long long>(lostPlain),
                static_cast<long long>(lostTavo), rssAt5, rssMax, growth, idleAt5, idleMax, idleAt5 < 0 ? 0 : idleMax - idleAt5,
                worstStall, static_cast<long long>(logMax), cuts, logFaults, ok ? "goals met" : "GOAL MISSED");
    std::fflush(stdout);
    windows.reset();
    sim.stop();
    return ok ? 0 : 1;
}

// ---------------------------------------------------------------- startup

// Runs in the device namespace: the wall clock of the first datagram to 65535.
int RunListen()
{
    QUdpSocket s;
    if (!s.bind(QHostAddress::AnyIPv4, wire::kPlainPort)) {
        std::printf("bind failed\n");
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    while (true) {
        if (!s.waitForReadyRead(30000))
            return 1;
        while (s.hasPendingDatagrams()) {
            const qint64 at = RealtimeNs();
            const QNetworkDatagram d = s.receiveDatagram();
            if (d.data() == "X") {
                std::printf("first X %lld from %s\n", static_cast<long long>(at), qPrintable(d.senderAddress().toString()));
                std::fflush(stdout);
                return 0;
            }
        }
    }
}

pid_t Spawn(const QString &exe, const QStringList &args, const QString &dir, int stdoutFd)
{
    std::vector<QByteArray> store;
    store.push_back(QFile::encodeName(exe));
    for (const QString &a : args)
        store.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : store)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&fa, stdoutFd, 1);
    posix_spawn_file_actions_addchdir_np(&fa, QFile::encodeName(dir).constData());
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

// One launch of Ardel: ms from exec to the first "X" the device side sees.
std::optional<double> LaunchArdel(const QString &exe, const QString &self, const QString &dir)
{
    QProcess listener;
    listener.setProcessChannelMode(QProcess::MergedChannels);
    listener.start(QStringLiteral("ip"),
                   {QStringLiteral("netns"), QStringLiteral("exec"), testlan::deviceNamespace(), self, QStringLiteral("listen")});
    if (!listener.waitForReadyRead(5000))
        return std::nullopt;
    if (!listener.readAll().contains("listening"))
        return std::nullopt;
    const qint64 t0 = RealtimeNs();
    const pid_t pid = Spawn(exe, {}, dir, -1);
    if (pid <= 0)
        return std::nullopt;
    QByteArray out;
    QElapsedTimer t;
    t.start();
    while (!out.contains('\n') && t.elapsed() < 20000) {
        listener.waitForReadyRead(100);
        out += listener.readAll();
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    listener.waitForFinished(2000);
    const QList<QByteArray> parts = out.trimmed().split(' ');
    if (parts.size() < 3 || parts.at(0) != "first")
        return std::nullopt;
    return double(parts.at(2).toLongLong() - t0) / 1e6;
}

// One launch of the bare window: ms from exec to its first expose and to the
// end of its first paint.
std::optional<std::pair<double, double>> LaunchBare(const QString &exe, const QString &dir)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const qint64 t0 = RealtimeNs();
    const pid_t pid = Spawn(exe, {}, dir, fds[1]);
    ::close(fds[1]);
    QByteArray out;
    char buf[256];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, n);
    ::close(fds[0]);
    int status = 0;
    if (pid > 0)
        ::waitpid(pid, &status, 0);
    const QList<QByteArray> parts = out.trimmed().split(' ');
    if (parts.size() < 4 || parts.at(0) != "exposed")
        return std::nullopt;
    return std::make_pair(double(parts.at(1).toLongLong() - t0) / 1e6, double(parts.at(3).toLongLong() - t0) / 1e6);
}

int RunStartup(const Args &a)
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    std::printf(
        "== start-up: exec to first \"X\" on the wire vs bare window's first expose, platform %s, %d runs each; load %s\n",
        qPrintable(platform), a.reps, qPrintable(LoadAverage()));
    QTemporaryDir dir;
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<double> ardel;
    std::vector<double> bare;
    std::vector<double> barePaint;
    // One untimed run of each first, so both start with warm file caches.
    LaunchBare(a.bare, dir.path());
    LaunchArdel(a.ardel, self, dir.path());
    for (int i = 0; i < a.reps; ++i) {
        if (const auto b = LaunchBare(a.bare, dir.path())) {
            bare.push_back(b->first);
            barePaint.push_back(b->second);
        }
        if (const auto x = LaunchArdel(a.ardel, self, dir.path()))
            ardel.push_back(*x);
    }
    const auto list = [](const std::vector<double> &v) {
        QStringList s;
        for (double d : v)
            s << QString::number(d, 'f', 1);
        return s.join(QLatin1Char(' '));
    };
    std::printf("bare window first expose ms: %s\n", qPrintable(list(bare)));
    std::printf("bare window first paint ms:  %s\n", qPrintable(list(barePaint)));
    std::printf("Ardel first X ms:            %s\n", qPrintable(list(ardel)));
    const double mb = Median(bare);
    const double mp = Median(barePaint);
    const double ma = Median(ardel);
    std::printf("SUMMARY startup (%s): Ardel exec->first X median %.1f ms; bare window exec->expose median %.1f ms (ratio %.2f, "
                "goal <= 1.5 %s), exec->first paint done median %.1f ms (ratio %.2f %s)\n",
                qPrintable(platform), ma, mb, mb > 0 ? ma / mb : 0.0,
                mb > 0 && ma <= 1.5 * mb && !ardel.empty() ? "met" : "MISSED", mp, mp > 0 ? ma / mp : 0.0,
                mp > 0 && ma <= 1.5 * mp ? "met" : "MISSED");
    return ardel.empty() || bare.empty() ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::string(argv[1]) == "listen") {
        QCoreApplication app(argc, argv);
        return RunListen();
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    ardel::TuneAllocator(); // as the program's main does
    ardel::UsePlainEventLoop();
    QApplication app(argc, argv);
    const Args a = ParseArgs(QCoreApplication::arguments());
    if (a.mode == QLatin1String("startup")) {
        if (a.ardel.isEmpty() || a.bare.isEmpty()) {
            std::fprintf(stderr, "startup needs --ardel EXE --bare EXE\n");
            return 2;
        }
        return RunStartup(a);
    }
    // The window writes Ardel.log into its working directory.
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    if (a.mode == QLatin1String("discovery"))
        return RunDiscovery(a);
    if (a.mode == QLatin1String("tavo"))
        return RunTavo(a);
    if (a.mode == QLatin1String("cli"))
        return RunCliScan(a);
    if (a.mode == QLatin1String("soak"))
        return RunSoak(a);
    std::fprintf(stderr, "usage: bench_refresh discovery|tavo|cli|soak|startup [options] (see the file's head)\n");
    return 2;
}
