#include "modal_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace ardel::test {

namespace {

// Closes the innermost modal widget; false when none is open.
bool CloseInnermost(QWidget *modal)
{
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else if (modal)
        modal->close();
    return modal != nullptr;
}

} // namespace

struct ModalScript::State : std::enable_shared_from_this<State> {
    std::vector<std::pair<Match, Action>> steps;
    int timeoutMs = 5000;
    size_t ran = 0;
    bool failed = false;

    void Arm(size_t index)
    {
        // One timer per step: a timer whose slot runs a nested event loop is
        // not delivered again until the slot returns. Owned by the
        // application, so that one whose deleteLater never ran is not leaked.
        auto *timer = new QTimer(QCoreApplication::instance());
        auto clock = std::make_shared<QElapsedTimer>();
        clock->start();
        auto self = shared_from_this();
        QObject::connect(timer, &QTimer::timeout, timer, [self, timer, clock, index] {
            QWidget *modal = QApplication::activeModalWidget();
            if (self->failed) {
                if (!CloseInnermost(modal)) {
                    timer->stop();
                    timer->deleteLater();
                }
                return;
            }
            if (modal && self->steps[index].first(modal)) {
                timer->stop();
                timer->deleteLater();
                ++self->ran;
                if (index + 1 < self->steps.size())
                    self->Arm(index + 1);
                self->steps[index].second(modal);
                return;
            }
            if (clock->elapsed() > self->timeoutMs) {
                ADD_FAILURE() << "modal step " << index << " never came up";
                self->failed = true;
            }
        });
        timer->start(5);
    }
};

ModalScript::ModalScript(int stepTimeoutMs) : m_state(std::make_shared<State>())
{
    m_state->timeoutMs = stepTimeoutMs;
}

ModalScript &ModalScript::Then(Match match, Action action)
{
    m_state->steps.emplace_back(std::move(match), std::move(action));
    return *this;
}

void ModalScript::Start()
{
    if (!m_state->steps.empty())
        m_state->Arm(0);
    // Whatever the steps do, nothing stays open past the script's time: a
    // dialog that does not close after the last step fails the test instead
    // of hanging it.
    std::weak_ptr<State> weak = m_state;
    auto *watchdog = new QTimer(QCoreApplication::instance());
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    const qint64 limit = qint64(m_state->timeoutMs) * qint64(m_state->steps.size() + 1);
    QObject::connect(watchdog, &QTimer::timeout, watchdog, [weak, watchdog, clock, limit] {
        auto state = weak.lock();
        if (!state) {
            watchdog->stop();
            watchdog->deleteLater();
            return;
        }
        if (!state->failed && clock->elapsed() > limit) {
            ADD_FAILURE() << "a dialog stayed open after the script (" << state->ran << " steps ran)";
            state->failed = true;
        }
        if (state->failed && !CloseInnermost(QApplication::activeModalWidget())) {
            watchdog->stop();
            watchdog->deleteLater();
        }
    });
    watchdog->start(20);
}

bool ModalScript::Done() const
{
    return !m_state->failed && m_state->ran == m_state->steps.size();
}

ModalScript::Match IsNamed(const QString &objectName)
{
    return [objectName](QWidget *w) { return w->objectName() == objectName; };
}

ModalScript::Match IsMessageBox()
{
    return [](QWidget *w) { return qobject_cast<QMessageBox *>(w) != nullptr; };
}

ModalScript::Action RecordAndPress(SeenBox &seen, int button)
{
    return [&seen, button](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        seen.text = box->text();
        seen.title = box->windowTitle();
        seen.buttons = static_cast<int>(box->standardButtons());
        QAbstractButton *target = box->button(static_cast<QMessageBox::StandardButton>(button));
        ASSERT_NE(target, nullptr);
        target->click();
    };
}

void Click(QWidget *dialog, const QString &buttonName)
{
    auto *button = dialog->findChild<QAbstractButton *>(buttonName);
    ASSERT_NE(button, nullptr) << buttonName.toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace ardel::test

namespace ardel::test {

void Type(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace ardel::test
