// The look and the answer handling shared by the device-configuration dialogs:
// fixed size, centred on the screen, navy background, bevelled panels with
// bold labels, a default button at the left and "Vissza" at the right.
#pragma once

#include <QByteArray>
#include <QDialog>

#include <array>

class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ardel {

class ByteSpinEdit;

class ConfigDialog : public QDialog
{
    Q_OBJECT
public:
    // Outcome of the last opening: 0 closed without confirming, 1 confirmed
    // (the settings dialog also 2 = restart).
    int Answer() const { return m_answer; }

protected:
    ConfigDialog(const QString &objectName, const QString &caption, QWidget *parent);

    // A bevelled panel appended to the dialog, laid out in a row.
    QHBoxLayout *AddPanel();
    QLabel *AddBoldLabel(QHBoxLayout *row, const QString &text);
    // The bottom row: confirm button at the left (taken by Enter), "Vissza" at
    // the right. Vissza, Escape and the title bar's close box all leave
    // Answer at 0.
    void AddButtons(const QString &setCaption);
    // A full-width button below the panels.
    QPushButton *AddWideButton(const QString &objectName, const QString &caption);
    std::array<ByteSpinEdit *, 6> AddMacFields(QHBoxLayout *row);

    // Runs each time the dialog is opened, after Answer has been reset.
    virtual void FormShow() = 0;
    virtual void bbtn_setClick() = 0;

    void CloseWith(int answer);
    void showEvent(QShowEvent *event) override;

    QPushButton *m_set = nullptr;
    QPushButton *m_back = nullptr;

private:
    QVBoxLayout *m_layout = nullptr;
    int m_answer = 0;
};

// Six bytes from the MAC fields, first field first.
QByteArray MacFieldsBytes(const std::array<ByteSpinEdit *, 6> &fields);
// Puts the bytes into the fields, first byte into the first field; missing
// bytes show as 0 and bytes past the sixth are ignored.
void SetMacFields(const std::array<ByteSpinEdit *, 6> &fields, const QByteArray &mac);

} // namespace ardel
