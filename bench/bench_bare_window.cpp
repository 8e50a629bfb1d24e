// The yardstick of the start-up figure: a bare Qt Widgets window that prints
// the wall clock (CLOCK_REALTIME, ns) of its first expose and of the end of
// its first paint (the first paint is where fonts get initialised), then exits.
// bench_refresh startup launches it beside the program.
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <ctime>

namespace {

long long Now()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

class FirstExpose : public QObject {
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_seen && qobject_cast<QWindow *>(watched)) {
            m_seen = true;
            m_exposed = Now();
        }
        if (event->type() == QEvent::Paint && !m_painted && watched->isWidgetType()) {
            // The paint itself runs in the watched object after this filter.
            m_painted = true;
            QTimer::singleShot(0, qApp, [this] {
                std::printf("exposed %lld painted %lld\n", m_exposed, Now());
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
    bool m_painted = false;
    long long m_exposed = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FirstExpose filter;
    app.installEventFilter(&filter);
    QWidget w;
    w.setWindowTitle(QStringLiteral("bare"));
    w.resize(1020, 508);
    w.show();
    return QApplication::exec();
}
