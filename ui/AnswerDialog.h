// What the program's dialogs share: the answer of the last opening, the
// "Rendben"/"Beállít" and "Vissza" handlers, and the opening itself (icons
// set, answer reset, FormShow run, centred on the screen).
#pragma once

#include <QDialog>

namespace ardel {

class AnswerDialog : public QDialog {
    Q_OBJECT
public:
    // Outcome of the last opening. Vissza, Escape and the title bar's close
    // box leave it at AnswerNone.
    enum TAnswer : int {
        AnswerNone = 0,
        AnswerOk = 1,
        AnswerSave = AnswerOk, // the settings dialog's "Beállít"
        AnswerRestart = 2,     // the settings dialog's restart button
    };

    TAnswer Answer() const { return m_answer; }

protected:
    explicit AnswerDialog(QWidget *parent);

    // Runs each time the dialog is opened, after Answer has been reset.
    virtual void FormShow() {}
    // The default button; it closes the dialog through CloseWith when the
    // input is accepted.
    virtual void bbtn_setClick() = 0;
    void bbtn_backClick();

    void CloseWith(TAnswer answer);
    void showEvent(QShowEvent *event) override;

private:
    TAnswer m_answer = AnswerNone;
};

} // namespace ardel
