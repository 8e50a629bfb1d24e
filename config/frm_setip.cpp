#include "config/frm_setip.h"

#include "config/AddressEdit.h"

#include <QHBoxLayout>
#include <QMessageBox>

namespace ardel {

Tf_setip::Tf_setip(QWidget *parent, TBuild build)
    : ConfigDialog(QStringLiteral("f_setip"), QStringLiteral("IP cím beállítása"), parent)
    , m_startAddress(QStringLiteral("0.0.0.0"))
{
    if (build == TBuild::Now)
        BuildControls();
}

void Tf_setip::buildControls()
{
    QHBoxLayout *row = AddPanel();
    AddBoldLabel(row, QStringLiteral("IP cím:"));
    me_ip_addr = new AddressEdit;
    me_ip_addr->setObjectName(QStringLiteral("me_ip_addr"));
    me_ip_addr->SetAddress(m_startAddress);
    row->addWidget(me_ip_addr);
    AddButtons(QStringLiteral("Beállít"));
}

void Tf_setip::SetIP(const QString &dotted)
{
    m_startAddress = dotted;
}

QString Tf_setip::GetIP() const
{
    BuildControls();
    return RemoveSpaces(me_ip_addr->FieldText());
}

void Tf_setip::FormShow()
{
    me_ip_addr->SetAddress(m_startAddress);
    me_ip_addr->setFocus();
    me_ip_addr->deselect();
    me_ip_addr->setCursorPosition(0);
}

void Tf_setip::bbtn_setClick()
{
    if (CheckIP(me_ip_addr->FieldText())) {
        CloseWith(AnswerOk);
        return;
    }
    QMessageBox::critical(this, QStringLiteral("Hiba"), QStringLiteral("Hibás IP címet adott meg!"), QMessageBox::Ok);
}

} // namespace ardel
