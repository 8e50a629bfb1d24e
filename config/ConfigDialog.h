// The layout shared by the device-configuration dialogs: fixed size, navy
// background, bevelled panels with bold labels, a default button at the left
// and "Vissza" at the right.
#pragma once

#include "ui/AnswerDialog.h"

#include <QByteArray>

#include <array>

class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ardel {

class ByteSpinEdit;

class ConfigDialog : public AnswerDialog {
    Q_OBJECT
protected:
    ConfigDialog(const QString &objectName, const QString &caption, QWidget *parent);

    // A bevelled panel appended to the dialog, laid out in a row.
    QHBoxLayout *AddPanel();
    QLabel *AddBoldLabel(QHBoxLayout *row, const QString &text);
    // The bottom row: confirm button at the left (taken by Enter), "Vissza" at
    // the right.
    void AddButtons(const QString &setCaption);
    // A full-width button below the panels.
    QPushButton *AddWideButton(const QString &objectName, const QString &caption);
    std::array<ByteSpinEdit *, 6> AddMacFields(QHBoxLayout *row);

    QPushButton *m_set = nullptr;
    QPushButton *m_back = nullptr;

private:
    QVBoxLayout *m_layout = nullptr;
};

// Six bytes from the MAC fields, first field first.
QByteArray MacFieldsBytes(const std::array<ByteSpinEdit *, 6> &fields);
// Puts the bytes into the fields, first byte into the first field; missing
// bytes show as 0 and bytes past the sixth are ignored.
void SetMacFields(const std::array<ByteSpinEdit *, 6> &fields, const QByteArray &mac);

} // namespace ardel
