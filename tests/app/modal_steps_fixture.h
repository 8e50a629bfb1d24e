// Drives the modal dialogs a flow opens, one step per dialog, from a timer
// that keeps ticking inside the dialogs' own event loops. A step that never
// matches is recorded and whatever is open gets closed, so a broken flow
// cannot hang the test. Dialogs that open after the last step are recorded
// as unexpected and closed as well.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

class ModalSteps {
public:
    using Match = std::function<bool(QWidget *)>;
    using Action = std::function<void(QWidget *)>;

    struct SeenBox {
        QString title;
        QString text;
    };

    explicit ModalSteps(int stepTimeoutMs = 5000) : m_timeoutMs(stepTimeoutMs)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    ~ModalSteps() { m_timer.stop(); }
    ModalSteps(const ModalSteps &) = delete;
    ModalSteps &operator=(const ModalSteps &) = delete;

    ModalSteps &then(Match match, Action action)
    {
        m_steps.push_back({std::move(match), std::move(action)});
        return *this;
    }
    // A dialog by its object name.
    ModalSteps &then(const char *objectName, Action action)
    {
        const QString name = QString::fromLatin1(objectName);
        return then([name](QWidget *w) { return w->objectName() == name; }, std::move(action));
    }
    // A message box: records what it said and presses the button.
    ModalSteps &thenBox(QMessageBox::StandardButton button, SeenBox *seen = nullptr)
    {
        return then([](QWidget *w) { return qobject_cast<QMessageBox *>(w) != nullptr; },
                    [button, seen](QWidget *w) {
                        auto *box = qobject_cast<QMessageBox *>(w);
                        if (seen)
                            *seen = {box->windowTitle(), box->text()};
                        if (QAbstractButton *b = box->button(button))
                            b->click();
                        else
                            box->reject();
                    });
    }

    void start()
    {
        m_clock.start();
        m_timer.start();
    }
    // Stops watching, also for unexpected dialogs.
    void stop() { m_timer.stop(); }
    bool done() const { return m_next >= m_steps.size() && m_failedStep < 0; }
    int failedStep() const { return m_failedStep; }
    int stepsRun() const { return int(m_next); }
    // Object names (or "QMessageBox: text") of dialogs no step asked for.
    const QStringList &unexpected() const { return m_unexpected; }

private:
    struct Step {
        Match match;
        Action action;
    };

    static void closeAll()
    {
        for (int i = 0; i < 10; ++i) {
            QWidget *w = QApplication::activeModalWidget();
            if (!w)
                return;
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
            else
                w->close();
        }
    }

    void tick()
    {
        if (m_posted)
            return;
        QWidget *w = QApplication::activeModalWidget();
        if (m_next >= m_steps.size()) {
            if (w) {
                auto *box = qobject_cast<QMessageBox *>(w);
                m_unexpected.append(box ? QStringLiteral("QMessageBox: ") + box->text() : w->objectName());
                closeAll();
            }
            return;
        }
        if (w && m_steps[m_next].match(w)) {
            // Advance first, and run the action from its own timer: a dialog
            // the action opens runs a nested loop, in which this timer does not
            // fire while its own slot is still running.
            const Action action = m_steps[m_next].action;
            ++m_next;
            m_clock.restart();
            m_posted = true;
            QTimer::singleShot(0, w, [this, action, w] {
                m_posted = false;
                action(w);
            });
            return;
        }
        if (m_clock.elapsed() > m_timeoutMs) {
            m_failedStep = int(m_next);
            m_next = m_steps.size();
            closeAll();
        }
    }

    int m_timeoutMs;
    QTimer m_timer;
    QElapsedTimer m_clock;
    std::vector<Step> m_steps;
    size_t m_next = 0;
    int m_failedStep = -1;
    bool m_posted = false;
    QStringList m_unexpected;
};

// Types into the named line edit of a dialog (after clearing it) and presses Enter.
inline void TypeAndEnter(QWidget *dialog, const char *editName, const QString &text)
{
    auto *edit = dialog->findChild<QLineEdit *>(QString::fromLatin1(editName));
    if (!edit) {
        ADD_FAILURE() << "no line edit " << editName << " in " << dialog->objectName().toStdString();
        return;
    }
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    edit->setCursorPosition(0);
    for (const QChar c : text) {
        // QTest has no key for letters outside ASCII: those are inserted as typed text.
        if (c.unicode() < 0x80)
            QTest::keyClick(edit, c.toLatin1());
        else
            edit->insert(QString(c));
    }
    QTest::keyClick(edit, Qt::Key_Return);
}

inline void PressButton(QWidget *dialog, const char *buttonName)
{
    auto *b = dialog->findChild<QAbstractButton *>(QString::fromLatin1(buttonName));
    if (!b) {
        ADD_FAILURE() << "no button " << buttonName << " in " << dialog->objectName().toStdString();
        return;
    }
    b->click();
}
