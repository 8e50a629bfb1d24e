#include "config/frm_passw.h"

#include <QHBoxLayout>
#include <QLineEdit>

namespace ardel {

Tf_passw::Tf_passw(QWidget *parent, TBuild build)
    : ConfigDialog(QStringLiteral("f_passw"), QStringLiteral("Jelszó bekérése"), parent)
{
    if (build == TBuild::Now)
        BuildControls();
}

void Tf_passw::buildControls()
{
    QHBoxLayout *row = AddPanel();
    AddBoldLabel(row, QStringLiteral("Jelszó:"));
    em_passw = new QLineEdit;
    em_passw->setObjectName(QStringLiteral("em_passw"));
    em_passw->setMaxLength(kMaxPasswordLength);
    em_passw->setEchoMode(QLineEdit::Password);
    // Every character shows as '*', whatever the style would draw.
    em_passw->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    em_passw->setMinimumWidth(180);
    row->addWidget(em_passw);
    AddButtons(QStringLiteral("Rendben"));
}

QString Tf_passw::GetPassword() const
{
    BuildControls();
    return em_passw->text();
}

void Tf_passw::FormShow()
{
    em_passw->clear();
    em_passw->setFocus();
}

void Tf_passw::bbtn_setClick()
{
    // An empty password is a valid answer: the device decides.
    CloseWith(AnswerOk);
}

} // namespace ardel
