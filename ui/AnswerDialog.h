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

    // When a dialog builds its controls. Controls measure text, and loading
    // the fonts is most of a cold start: the program's dialogs exist from the
    // start but build their controls after the first broadcast (Later).
    enum class TBuild { Now, Later };
    // Builds the controls if they are not built yet; the first showing, and
    // every operation that needs them, builds them at the latest.
    void BuildControls();
    // For the getters: what they read is the same whether the controls were
    // built before or are built now, so building is logically const.
    void BuildControls() const { const_cast<AnswerDialog *>(this)->BuildControls(); }
    bool ControlsBuilt() const { return m_built; }
    void setVisible(bool visible) override;

protected:
    explicit AnswerDialog(QWidget *parent);

    // Creates the controls; runs once, from BuildControls.
    virtual void buildControls() = 0;

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
    bool m_built = false;
};

} // namespace ardel
