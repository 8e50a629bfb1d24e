#include "config/frm_setMAC.h"

#include "config/ByteSpinEdit.h"

#include <QHBoxLayout>

namespace ardel {

Tf_setMAC::Tf_setMAC(QWidget *parent, TBuild build)
    : ConfigDialog(QStringLiteral("f_setMAC"), QStringLiteral("MAC cím beállítása"), parent)
{
    if (build == TBuild::Now)
        BuildControls();
}

void Tf_setMAC::buildControls()
{
    QHBoxLayout *row = AddPanel();
    AddBoldLabel(row, QStringLiteral("MAC cím:"));
    m_fields = AddMacFields(row);
    AddButtons(QStringLiteral("Beállít"));
}

void Tf_setMAC::SetMAC(const QByteArray &mac)
{
    BuildControls();
    SetMacFields(m_fields, mac);
}

QByteArray Tf_setMAC::GetMAC() const
{
    BuildControls();
    return MacFieldsBytes(m_fields);
}

void Tf_setMAC::FormShow()
{
    // The caller fills the fields before each opening; they are left as they are.
    m_fields[0]->setFocus();
}

void Tf_setMAC::bbtn_setClick()
{
    CloseWith(AnswerOk);
}

} // namespace ardel
