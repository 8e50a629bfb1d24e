// Drives modal dialogs from a test: each step waits for a matching modal
// widget to come up and then acts on it. A step that never matches fails the
// test and closes whatever is open, so a broken dialog cannot hang the run.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QMessageBox;

namespace ardel::test {

class ModalScript {
public:
    using Match = std::function<bool(QWidget *)>;
    using Action = std::function<void(QWidget *)>;

    explicit ModalScript(int stepTimeoutMs = 5000);

    ModalScript &Then(Match match, Action action);
    // Arms the first step; call it right before the blocking exec().
    void Start();
    // Every step ran and none timed out.
    bool Done() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// Matchers.
ModalScript::Match IsNamed(const QString &objectName);
ModalScript::Match IsMessageBox();

// What a message box said, recorded by an action.
struct SeenBox {
    QString text;
    QString title;
    int buttons = 0;
};
ModalScript::Action RecordAndPress(SeenBox &seen, int button);

template <typename T = QWidget> T *Child(QWidget *parent, const QString &name)
{
    return parent->findChild<T *>(name);
}

void Click(QWidget *dialog, const QString &buttonName);
// Types any text, one key event per character (QTest::keyClicks takes ASCII only).
void Type(QWidget *widget, const QString &text);

} // namespace ardel::test
