// The masked address entry shared by the configuration dialogs, and the
// helpers that translate between its 15-character text and dotted addresses.
#pragma once

#include "net/TextUtil.h" // AddressToBytes

#include <QByteArray>
#include <QLineEdit>
#include <QString>

namespace ardel {

// Text of an address field with nothing typed into it.
inline constexpr QStringView kEmptyAddressField = u"   .   .   .   ";

// True when each of the four groups of a field text (characters 1-3, 5-7,
// 9-11 and 13-15) reads as a number from 0 to 255 once its spaces are
// removed. An empty or unreadable group counts as 256, so it fails.
bool CheckIP(const QString &fieldText);

// The 15-character field text showing a dotted address: each number
// left-aligned in its group and padded with spaces ("10.1.2.3" gives
// "10 .1  .2  .3  "). A part that cannot stand in a group (not 1 to 3 digits)
// leaves its group empty, so the field fails CheckIP rather than showing an
// address the device does not have.
QString AddressToFieldText(const QString &dotted);

// Every space removed: what a field text means as a dotted address.
QString RemoveSpaces(const QString &text);

// Four groups of three optional digits with fixed dots, in a fixed-pitch font
// so that the groups line up.
class AddressEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit AddressEdit(QWidget *parent = nullptr);

    // Always 15 characters, dots and unfilled positions (spaces) included.
    QString FieldText() const;
    void SetFieldText(const QString &fieldText);
    void SetAddress(const QString &dotted);
};

} // namespace ardel
