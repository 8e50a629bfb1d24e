#include "ui/AnswerDialog.h"

#include "ui/DeferredIcons.h"

#include <QLayout>
#include <QScreen>
#include <QShowEvent>

namespace ardel {

AnswerDialog::AnswerDialog(QWidget *parent) : QDialog(parent)
{
}

void AnswerDialog::BuildControls()
{
    if (m_built)
        return;
    m_built = true;
    buildControls();
}

void AnswerDialog::setVisible(bool visible)
{
    if (visible)
        BuildControls();
    QDialog::setVisible(visible);
}

void AnswerDialog::bbtn_backClick()
{
    reject();
}

void AnswerDialog::CloseWith(TAnswer answer)
{
    m_answer = answer;
    done(QDialog::Accepted);
}

void AnswerDialog::showEvent(QShowEvent *event)
{
    // The wider buttons resize a laid-out dialog now, before it is centred.
    if (ApplyDeferredIcons(this) && layout())
        layout()->activate();
    QDialog::showEvent(event);
    // A spontaneous show (restoring a minimised window) is not a new opening.
    if (event->spontaneous())
        return;
    m_answer = AnswerNone;
    FormShow();
    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace ardel
