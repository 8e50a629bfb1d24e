#include "config/ConfigDialog.h"

#include "config/ByteSpinEdit.h"
#include "ui/DeferredIcons.h"
#include "ui/Look.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace ardel {

ConfigDialog::ConfigDialog(const QString &objectName, const QString &caption, QWidget *parent) : AnswerDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setModal(true);
    ApplyNavyBackground(this);

    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(12, 12, 12, 12);
    m_layout->setSpacing(10);
    // The dialogs are laid out once and never resized by the user.
    m_layout->setSizeConstraint(QLayout::SetFixedSize);
}

QHBoxLayout *ConfigDialog::AddPanel()
{
    // The panel keeps the ordinary window colour, so the labels stay legible.
    QFrame *panel = MakeBevelPanel(this, DialogPanelFace());
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(10, 8, 10, 8);
    row->setSpacing(6);
    m_layout->addWidget(panel);
    return row;
}

QLabel *ConfigDialog::AddBoldLabel(QHBoxLayout *row, const QString &text)
{
    QLabel *label = MakeBoldLabel(text);
    row->addWidget(label);
    row->addStretch(1);
    return label;
}

void ConfigDialog::AddButtons(const QString &setCaption)
{
    m_set = new QPushButton(setCaption, this);
    SetIconWhenShown(m_set, QStyle::SP_DialogOkButton);
    m_set->setObjectName(QStringLiteral("bbtn_set"));
    m_set->setDefault(true);
    m_back = new QPushButton(QStringLiteral("Vissza"), this);
    SetIconWhenShown(m_back, QStyle::SP_DialogCancelButton);
    m_back->setObjectName(QStringLiteral("bbtn_back"));
    connect(m_set, &QPushButton::clicked, this, [this] { bbtn_setClick(); });
    connect(m_back, &QPushButton::clicked, this, &ConfigDialog::bbtn_backClick);

    auto *row = new QHBoxLayout;
    row->addWidget(m_set);
    row->addStretch(1);
    row->addWidget(m_back);
    m_layout->addLayout(row);
}

QPushButton *ConfigDialog::AddWideButton(const QString &objectName, const QString &caption)
{
    auto *button = new QPushButton(caption, this);
    button->setObjectName(objectName);
    m_layout->addWidget(button);
    return button;
}

std::array<ByteSpinEdit *, 6> ConfigDialog::AddMacFields(QHBoxLayout *row)
{
    std::array<ByteSpinEdit *, 6> fields{};
    for (int i = 0; i < 6; ++i) {
        auto *field = new ByteSpinEdit;
        field->setObjectName(QStringLiteral("SpinEdit%1").arg(i + 1));
        row->addWidget(field);
        fields[static_cast<size_t>(i)] = field;
    }
    return fields;
}

QByteArray MacFieldsBytes(const std::array<ByteSpinEdit *, 6> &fields)
{
    QByteArray mac;
    mac.reserve(6);
    for (const ByteSpinEdit *field : fields)
        mac.append(static_cast<char>(field->ByteValue()));
    return mac;
}

void SetMacFields(const std::array<ByteSpinEdit *, 6> &fields, const QByteArray &mac)
{
    for (qsizetype i = 0; i < 6; ++i) {
        const int value = i < mac.size() ? static_cast<quint8>(mac.at(i)) : 0;
        fields[static_cast<size_t>(i)]->setValue(value);
    }
}

} // namespace ardel
