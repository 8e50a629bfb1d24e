#include "config/AddressEdit.h"
#include "config/ByteSpinEdit.h"
#include "config/frm_settings.h"
#include "modal_fixture.h"

#include <QMessageBox>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using namespace ardel;
using namespace ardel::test;

namespace {

const QString kDialog = QStringLiteral("f_settings");

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.SetIP(QStringLiteral("10.1.2.3"));
        dialog.SetGateway(QStringLiteral("10.1.2.254"));
        dialog.SetMask(QStringLiteral("255.255.255.0"));
        dialog.SetMAC(kStartMac);
    }

public: // the case tables edit through these
    AddressEdit *Field(const char *name) { return Child<AddressEdit>(&dialog, QLatin1String(name)); }
    QSpinBox *Spin(int n) { return Child<QSpinBox>(&dialog, QStringLiteral("SpinEdit%1").arg(n)); }

protected:
    // Opens the dialog, runs the steps and checks that all of them ran.
    int Run(ModalScript &script)
    {
        script.Start();
        const int result = dialog.exec();
        EXPECT_TRUE(script.Done());
        return result;
    }

    const QByteArray kStartMac = QByteArrayLiteral("\x00\x1B\x2C\x3D\x4E\xFF");
    Tf_settings dialog;
};

TEST_F(SettingsDialogTest, OpensWithTheStartValues)
{
    QString ip, gateway, mask;
    QWidget *focus = nullptr;
    ModalScript script;
    script.Then(IsNamed(kDialog), [&](QWidget *d) {
        ip = Field("me_ip_addr")->FieldText();
        gateway = Field("me_gateway")->FieldText();
        mask = Field("me_mask")->FieldText();
        focus = d->focusWidget();
        Click(d, QStringLiteral("bbtn_back"));
    });
    Run(script);
    EXPECT_EQ(ip, QStringLiteral("10 .1  .2  .3  "));
    EXPECT_EQ(gateway, QStringLiteral("10 .1  .2  .254"));
    EXPECT_EQ(mask, QStringLiteral("255.255.255.0  "));
    EXPECT_EQ(focus, Field("me_ip_addr"));
    EXPECT_FALSE(Field("me_ip_addr")->hasSelectedText());
    EXPECT_EQ(Spin(1)->value(), 0x00);
    EXPECT_EQ(Spin(6)->value(), 0xFF);
    EXPECT_EQ(dialog.Answer(), 0);
}

TEST_F(SettingsDialogTest, WrongAddressesAreListedInOneMessage)
{
    const QString good = QStringLiteral("10 .1  .2  .3  ");
    const QString bad = QStringLiteral("300.1  .2  .3  ");
    const struct {
        bool ip, gateway, mask;
        const char16_t *text;
    } cases[] = {
        {true, false, false, u"Hibás IP címet adott meg!"},
        {false, true, false, u"Hibás  Átjáró címet adott meg!"},
        {false, false, true, u"Hibás  Alhálózati maszk címet adott meg!"},
        {true, false, true, u"Hibás IP, Alhálózati maszk címet adott meg!"},
        {true, true, false, u"Hibás IP, Átjáró címet adott meg!"},
        {false, true, true, u"Hibás  Átjáró, Alhálózati maszk címet adott meg!"},
        {true, true, true, u"Hibás IP, Átjáró, Alhálózati maszk címet adott meg!"},
    };
    for (const auto &c : cases) {
        const QString expected = QString::fromUtf16(c.text);
        SCOPED_TRACE(expected.toStdString());
        SeenBox box;
        bool stayedOpen = false;
        ModalScript script;
        script
            .Then(IsNamed(kDialog),
                  [&](QWidget *d) {
                      Field("me_ip_addr")->SetFieldText(c.ip ? bad : good);
                      Field("me_gateway")->SetFieldText(c.gateway ? QStringLiteral("   .   .   .   ") : good);
                      Field("me_mask")->SetFieldText(c.mask ? QStringLiteral("1  .2  .   .4  ") : good);
                      Click(d, QStringLiteral("bbtn_set"));
                  })
            .Then(IsMessageBox(), RecordAndPress(box, QMessageBox::Ok))
            .Then(IsNamed(kDialog), [&](QWidget *d) {
                stayedOpen = true;
                Click(d, QStringLiteral("bbtn_back"));
            });
        Run(script);
        EXPECT_EQ(box.text, expected);
        EXPECT_EQ(box.title, QStringLiteral("Hiba"));
        EXPECT_EQ(box.buttons, static_cast<int>(QMessageBox::Ok));
        EXPECT_TRUE(stayedOpen);
        EXPECT_EQ(dialog.Answer(), 0);
    }
}

// What the caller reads after "Beállít": only the fields that differ from
// their start values, spaces removed; "010" differs from "10".
TEST_F(SettingsDialogTest, ChangedValuesAfterSaving)
{
    const struct {
        const char *name;
        std::function<void(SettingsDialogTest &)> edit;
        const char16_t *ip, *gateway, *mask;
        QByteArray mac;
    } cases[] = {
        {"nothing", [](SettingsDialogTest &) {}, u"", u"", u"", {}},
        {"mask only",
         [](SettingsDialogTest &t) { t.Field("me_mask")->SetAddress(QStringLiteral("255.255.0.0")); },
         u"",
         u"",
         u"255.255.0.0",
         {}},
        {"leading zeros",
         [](SettingsDialogTest &t) { t.Field("me_ip_addr")->SetFieldText(QStringLiteral("010.001.2  .3  ")); },
         u"010.001.2.3",
         u"",
         u"",
         {}},
        {"retyped the same",
         [](SettingsDialogTest &t) { t.Field("me_gateway")->SetFieldText(QStringLiteral("10 .  1.2  .254")); },
         u"",
         u"",
         u"",
         {}},
        {"one MAC byte", [](SettingsDialogTest &t) { t.Spin(4)->setValue(0x3E); }, u"", u"", u"",
         QByteArrayLiteral("\x00\x1B\x2C\x3E\x4E\xFF")},
        {"everything",
         [](SettingsDialogTest &t) {
             t.Field("me_ip_addr")->SetAddress(QStringLiteral("192.168.1.50"));
             t.Field("me_gateway")->SetAddress(QStringLiteral("192.168.1.1"));
             t.Field("me_mask")->SetAddress(QStringLiteral("255.255.255.128"));
             for (int n = 1; n <= 6; ++n)
                 t.Spin(n)->setValue(n);
         },
         u"192.168.1.50", u"192.168.1.1", u"255.255.255.128", QByteArrayLiteral("\x01\x02\x03\x04\x05\x06")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp(); // the caller fills the dialog before every opening
        ModalScript script;
        script.Then(IsNamed(kDialog), [&](QWidget *d) {
            c.edit(*this);
            QTest::keyClick(d->focusWidget(), Qt::Key_Return);
        });
        EXPECT_EQ(Run(script), QDialog::Accepted);
        EXPECT_EQ(dialog.Answer(), Tf_settings::AnswerSave);
        EXPECT_EQ(dialog.ChangedIP(), QString::fromUtf16(c.ip));
        EXPECT_EQ(dialog.ChangedGateway(), QString::fromUtf16(c.gateway));
        EXPECT_EQ(dialog.ChangedMask(), QString::fromUtf16(c.mask));
        EXPECT_EQ(dialog.ChangedMAC(), c.mac);
    }
}

TEST_F(SettingsDialogTest, EmptiedMacFieldCountsAsZero)
{
    ModalScript script;
    script.Then(IsNamed(kDialog), [&](QWidget *d) {
        QSpinBox *second = Spin(2);
        second->setFocus();
        QTest::keyClick(second, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(second, Qt::Key_Backspace);
        Click(d, QStringLiteral("bbtn_set"));
    });
    Run(script);
    EXPECT_EQ(dialog.Answer(), 1);
    EXPECT_EQ(dialog.ChangedMAC(), QByteArrayLiteral("\x00\x00\x2C\x3D\x4E\xFF"));
}

TEST_F(SettingsDialogTest, RestartAsksFirst)
{
    const struct {
        const char *name;
        int button;
        int answer;
    } cases[] = {
        {"OK", QMessageBox::Ok, Tf_settings::AnswerRestart},
        {"Cancel", QMessageBox::Cancel, Tf_settings::AnswerNone},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SeenBox box;
        bool stayedOpen = false;
        ModalScript script;
        script
            .Then(IsNamed(kDialog),
                  [&](QWidget *d) {
                      // Restarting neither checks nor needs the fields.
                      Field("me_ip_addr")->SetFieldText(QStringLiteral("   .   .   .   "));
                      Click(d, QStringLiteral("bbtn_reset"));
                  })
            .Then(IsMessageBox(), RecordAndPress(box, c.button));
        if (c.button == QMessageBox::Cancel) {
            script.Then(IsNamed(kDialog), [&](QWidget *d) {
                stayedOpen = true;
                Click(d, QStringLiteral("bbtn_back"));
            });
        }
        Run(script);
        EXPECT_EQ(box.text, QStringLiteral("Biztosan újraindítja a készüléket?"));
        EXPECT_EQ(box.title, QStringLiteral("Készülék újraindítás"));
        EXPECT_EQ(box.buttons, static_cast<int>(QMessageBox::Ok | QMessageBox::Cancel));
        EXPECT_EQ(stayedOpen, c.button == QMessageBox::Cancel);
        EXPECT_EQ(dialog.Answer(), c.answer);
        EXPECT_FALSE(dialog.isVisible());
    }
}

// Each opening shows the start addresses again, while the MAC fields keep
// what they showed.
TEST_F(SettingsDialogTest, ReopeningResetsAddressesButNotMacFields)
{
    ModalScript first;
    first.Then(IsNamed(kDialog), [&](QWidget *d) {
        Field("me_ip_addr")->SetAddress(QStringLiteral("10.9.9.9"));
        Spin(1)->setValue(77);
        Click(d, QStringLiteral("bbtn_back"));
    });
    Run(first);

    QString ip;
    int spin = -1;
    ModalScript second;
    second.Then(IsNamed(kDialog), [&](QWidget *d) {
        ip = Field("me_ip_addr")->FieldText();
        spin = Spin(1)->value();
        Click(d, QStringLiteral("bbtn_set"));
    });
    Run(second);
    EXPECT_EQ(ip, QStringLiteral("10 .1  .2  .3  "));
    EXPECT_EQ(spin, 77);
    EXPECT_EQ(dialog.ChangedIP(), QString());
    EXPECT_EQ(dialog.ChangedMAC(), QByteArrayLiteral("\x4D\x1B\x2C\x3D\x4E\xFF"));
}

TEST(SettingsDialogStart, FreshDialogHasZeroStartValues)
{
    Tf_settings dialog;
    // Nothing differs before anyone touched it.
    EXPECT_EQ(dialog.ChangedIP(), QString());
    EXPECT_EQ(dialog.ChangedGateway(), QString());
    EXPECT_EQ(dialog.ChangedMask(), QString());
    // The spin fields start at 1 while the start MAC is six zero bytes.
    EXPECT_EQ(dialog.ChangedMAC(), QByteArray(6, '\x01'));

    QString shown;
    ModalScript script;
    script.Then(IsNamed(kDialog), [&](QWidget *d) {
        shown = Child<AddressEdit>(d, QStringLiteral("me_mask"))->FieldText();
        Click(d, QStringLiteral("bbtn_back"));
    });
    script.Start();
    dialog.exec();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(shown, QStringLiteral("0  .0  .0  .0  "));
}

TEST(SettingsDialogStart, ClearMacForgetsTheStartButKeepsTheFields)
{
    Tf_settings dialog;
    const QByteArray mac = QByteArrayLiteral("\x0A\x0B\x0C\x0D\x0E\x0F");
    dialog.SetMAC(mac);
    EXPECT_EQ(dialog.ChangedMAC(), QByteArray());
    dialog.ClearMAC();
    EXPECT_EQ(dialog.ChangedMAC(), mac);
    dialog.SetMAC(QByteArray(6, '\0'));
    EXPECT_EQ(dialog.ChangedMAC(), QByteArray());
}

TEST(SettingsDialogStart, MacOfAnotherLengthIsTakenAsSixBytes)
{
    Tf_settings dialog;
    dialog.SetMAC(QByteArrayLiteral("\x01\x02\x03"));
    EXPECT_EQ(dialog.ChangedMAC(), QByteArray());
    EXPECT_EQ(dialog.findChild<QSpinBox *>(QStringLiteral("SpinEdit4"))->value(), 0);
    dialog.SetMAC(QByteArrayLiteral("\x01\x02\x03\x04\x05\x06\x07\x08"));
    EXPECT_EQ(dialog.ChangedMAC(), QByteArray());
    EXPECT_EQ(dialog.findChild<QSpinBox *>(QStringLiteral("SpinEdit6"))->value(), 6);
}

} // namespace
