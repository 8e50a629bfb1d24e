#include "config/frm_settings.h"

#include "config/AddressEdit.h"
#include "config/ByteSpinEdit.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>

namespace ardel {

namespace {

QString Changed(const AddressEdit *field, const QString &start)
{
    const QString now = RemoveSpaces(field->FieldText());
    return now == start ? QString() : now;
}

const QString kNoAddress = QStringLiteral("0.0.0.0");

QByteArray SixBytes(const QByteArray &mac)
{
    QByteArray six = mac.left(6);
    if (six.size() < 6)
        six.append(6 - six.size(), '\0');
    return six;
}

} // namespace

Tf_settings::Tf_settings(QWidget *parent, TBuild build)
    : ConfigDialog(QStringLiteral("f_settings"), QStringLiteral("Beállítások"), parent)
    , m_startIP(kNoAddress)
    , m_startGateway(kNoAddress)
    , m_startMask(kNoAddress)
    , m_startMAC(6, '\0')
{
    if (build == TBuild::Now)
        BuildControls();
}

void Tf_settings::buildControls()
{
    const auto addAddressPanel = [this](const QString &label, const QString &name) {
        QHBoxLayout *row = AddPanel();
        AddBoldLabel(row, label);
        auto *field = new AddressEdit;
        field->setObjectName(name);
        row->addWidget(field);
        return field;
    };
    me_ip_addr = addAddressPanel(QStringLiteral("IP cím:"), QStringLiteral("me_ip_addr"));
    me_gateway = addAddressPanel(QStringLiteral("Átjáró:"), QStringLiteral("me_gateway"));
    me_mask = addAddressPanel(QStringLiteral("Alhálózati maszk:"), QStringLiteral("me_mask"));

    QHBoxLayout *macRow = AddPanel();
    AddBoldLabel(macRow, QStringLiteral("MAC cím:"));
    m_macFields = AddMacFields(macRow);

    QPushButton *reset = AddWideButton(QStringLiteral("bbtn_reset"), QStringLiteral("Készülék újraindítása"));
    connect(reset, &QPushButton::clicked, this, &Tf_settings::bbtn_resetClick);
    AddButtons(QStringLiteral("Beállít"));

    // The fields show the first start values, whenever they are built: a
    // start value set before the first opening shows only from that opening.
    me_ip_addr->SetAddress(kNoAddress);
    me_gateway->SetAddress(kNoAddress);
    me_mask->SetAddress(kNoAddress);
}

void Tf_settings::SetIP(const QString &dotted)
{
    m_startIP = dotted;
}

void Tf_settings::SetGateway(const QString &dotted)
{
    m_startGateway = dotted;
}

void Tf_settings::SetMask(const QString &dotted)
{
    m_startMask = dotted;
}

void Tf_settings::SetMAC(const QByteArray &mac)
{
    // Kept as exactly six bytes, so that a short or long argument cannot make
    // an untouched MAC look changed.
    m_startMAC = SixBytes(mac);
    BuildControls();
    SetMacFields(m_macFields, m_startMAC);
}

void Tf_settings::ClearMAC()
{
    m_startMAC = QByteArray(6, '\0');
}

QString Tf_settings::ChangedIP() const
{
    BuildControls();
    return Changed(me_ip_addr, m_startIP);
}

QString Tf_settings::ChangedGateway() const
{
    BuildControls();
    return Changed(me_gateway, m_startGateway);
}

QString Tf_settings::ChangedMask() const
{
    BuildControls();
    return Changed(me_mask, m_startMask);
}

QByteArray Tf_settings::ChangedMAC() const
{
    BuildControls();
    const QByteArray now = MacFieldsBytes(m_macFields);
    return now == m_startMAC ? QByteArray() : now;
}

void Tf_settings::FormShow()
{
    me_ip_addr->SetAddress(m_startIP);
    me_gateway->SetAddress(m_startGateway);
    me_mask->SetAddress(m_startMask);
    me_ip_addr->setFocus();
    me_ip_addr->deselect();
    me_ip_addr->setCursorPosition(0);
}

void Tf_settings::bbtn_setClick()
{
    QString bad;
    if (!CheckIP(me_ip_addr->FieldText()))
        bad += QStringLiteral("IP");
    if (!CheckIP(me_gateway->FieldText())) {
        if (!bad.isEmpty())
            bad += u',';
        bad += QStringLiteral(" Átjáró");
    }
    if (!CheckIP(me_mask->FieldText())) {
        if (!bad.isEmpty())
            bad += u',';
        bad += QStringLiteral(" Alhálózati maszk");
    }
    if (!bad.isEmpty()) {
        QMessageBox::critical(this, QStringLiteral("Hiba"), QStringLiteral("Hibás ") + bad + QStringLiteral(" címet adott meg!"),
                              QMessageBox::Ok);
        return;
    }
    CloseWith(AnswerSave);
}

void Tf_settings::bbtn_resetClick()
{
    const auto choice =
        QMessageBox::question(this, QStringLiteral("Készülék újraindítás"), QStringLiteral("Biztosan újraindítja a készüléket?"),
                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
    if (choice == QMessageBox::Ok)
        CloseWith(AnswerRestart);
}

} // namespace ardel
