// Device configuration: the set-IP broadcast with its password step, the
// settings and restart of TAVO devices, and the MAC change over TCP.
#include "app/frm_main.h"

#include "app/core/DeviceExchanges.h"
#include "config/AddressEdit.h"
#include "config/frm_passw.h"
#include "config/frm_setMAC.h"
#include "config/frm_setip.h"
#include "config/frm_settings.h"
#include "net/TextUtil.h"

#include <QMessageBox>

namespace ardel {

namespace {

int askOkCancel(QWidget *parent, const QString &caption, const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec();
}

} // namespace

bool Tf_main::SelectedIsTavow() const
{
    const int r = SelectedRow();
    return r >= 0 && !m_table->Cell(r, ColTavow).isEmpty();
}

void Tf_main::bbtn_change_ipClick()
{
    if (SelectedIsTavow()) {
        Belltsok1Click();
        return;
    }
    ChangeDeviceIP(QString(), QString());
}

void Tf_main::ChangeDeviceIP(const QString &password, const QString &newAddress)
{
    const int r = SelectedRow();
    WriteMessage(QStringLiteral("Sor: ") + QString::number(r));
    if (r < 0) {
        // The password step has left the window waiting: give the buttons back.
        if (!newAddress.isEmpty())
            SetBusy(false);
        return;
    }
    const QString mac = m_table->Cell(r, ColMac);
    const QString current = m_table->Cell(r, ColIp);
    QString address = newAddress;
    Tf_setip *dlg = m_dialogs.f_setip;
    if (!dlg)
        return;
    if (address.isEmpty()) {
        dlg->SetIP(current);
        dlg->exec();
        if (dlg->Answer() == Tf_setip::AnswerOk) {
            address = dlg->GetIP();
            if (m_table->FindDeviceRow(address, QString(), QString()) >= 0
                && askOkCancel(this, QStringLiteral("Figyelmeztetés"),
                               QStringLiteral("IP cím ütközés van a megadott értékkel! Biztosan folytatja?"),
                               QMessageBox::Warning)
                       != QMessageBox::Ok)
                address.clear();
        }
    }
    if (address.isEmpty())
        return;
    m_ex->Discovery().SendSetIp(mac, password, dlg->GetIP());
}

void Tf_main::AskPassword()
{
    WriteMessage(QStringLiteral("Jelszó bekérés"));
    Tf_passw *dlg = m_dialogs.f_passw;
    if (dlg) {
        dlg->exec();
        if (dlg->Answer() == Tf_passw::AnswerOk && m_dialogs.f_setip) {
            ChangeDeviceIP(dlg->GetPassword(), m_dialogs.f_setip->GetIP());
            return;
        }
    }
    SetBusy(false);
}

void Tf_main::Belltsok1Click()
{
    const int r = SelectedRow();
    if (r < 0)
        return;
    ReadDevicePassword(m_table->Cell(r, ColIp), m_table->Cell(r, ColTavow));
}

void Tf_main::ReadDevicePassword(const QString &ip, const QString &tavowAddress)
{
    m_ex->Settings().ReadDevicePassword(ip, tavowAddress);
}

void Tf_main::CheckDevicePassword(const QByteArray &devicePassword)
{
    // The sender resends the password read while the user types, so the same
    // answer can arrive again while this flow's dialogs are open: it must not
    // open them a second time nor refill the fields under the user.
    if ((m_dialogs.f_passw && m_dialogs.f_passw->isVisible()) || (m_dialogs.f_settings && m_dialogs.f_settings->isVisible()))
        return;
    if (devicePassword.isEmpty()) {
        MatchDevicePassword(devicePassword);
        return;
    }
    Tf_passw *dlg = m_dialogs.f_passw;
    if (!dlg)
        return;
    dlg->exec();
    if (dlg->Answer() == Tf_passw::AnswerOk)
        MatchDevicePassword(devicePassword);
}

void Tf_main::MatchDevicePassword(const QByteArray &devicePassword)
{
    const QByteArray typed = m_dialogs.f_passw ? ToCp1250(m_dialogs.f_passw->GetPassword()) : QByteArray();
    if (TDeviceSettings::PasswordMatches(devicePassword, typed))
        ShowSettings();
}

void Tf_main::ShowSettings()
{
    const int r = SelectedRow();
    Tf_settings *dlg = m_dialogs.f_settings;
    if (r < 0 || !dlg)
        return;
    dlg->SetMAC(DottedMacBytes(m_table->Cell(r, ColMac)));
    const QString ip = m_table->Cell(r, ColIp);
    dlg->SetIP(ip);
    dlg->SetGateway(m_table->Cell(r, ColGateway));
    dlg->SetMask(m_table->Cell(r, ColMask));
    dlg->exec();
    if (dlg->Answer() == Tf_settings::AnswerSave) {
        WriteMessage(QStringLiteral("Beállítás mentés"));
        SaveSettings(ip, m_table->Cell(r, ColTavow));
    } else if (dlg->Answer() == Tf_settings::AnswerRestart) {
        WriteMessage(QStringLiteral("Újraindítás kértek"));
        RestartDevice(ip, m_table->Cell(r, ColTavow));
    }
}

void Tf_main::SaveSettings(const QString &ip, const QString &tavowAddress)
{
    Tf_settings *dlg = m_dialogs.f_settings;
    if (!dlg)
        return;
    m_ex->Settings().SaveSettings(
        ip, tavowAddress, TSettingsChanges{dlg->ChangedIP(), dlg->ChangedGateway(), dlg->ChangedMask(), dlg->ChangedMAC()});
}

void Tf_main::RestartDevice(const QString &ip, const QString &tavowAddress)
{
    m_ex->Settings().RestartDevice(ip, tavowAddress);
}

void Tf_main::BitBtn1Click()
{
    if (SelectedIsTavow()) {
        Belltsok1Click();
        return;
    }
    MACcmtllts1Click();
}

void Tf_main::MACcmtllts1Click()
{
    const int r = SelectedRow();
    if (r < 0)
        return;
    ChangeMAC(r);
}

void Tf_main::ChangeMAC(int row)
{
    Tf_setMAC *dlg = m_dialogs.f_setMAC;
    if (!dlg)
        return;
    dlg->SetMAC(DottedMacBytes(m_table->Cell(row, ColMac)));
    dlg->exec();
    if (dlg->Answer() != Tf_setMAC::AnswerOk)
        return;
    WriteMessage(QStringLiteral("Új MAC cím: ") + FromCp1250(dlg->GetMAC()));
    // The row may have changed while the dialog was open; its address is read now.
    TavoRemoteAddress = m_table->Cell(row, ColIp);
    OpenTavoConnection();
}

} // namespace ardel
