// The set-IP, password and MAC dialogs, and the look every configuration
// dialog shares.
#include "config/AddressEdit.h"
#include "config/ByteSpinEdit.h"
#include "config/frm_passw.h"
#include "config/frm_setMAC.h"
#include "config/frm_setip.h"
#include "config/frm_settings.h"
#include "modal_fixture.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace ardel;
using namespace ardel::test;

namespace {

AddressEdit *AddressField(QWidget *dialog, const QString &name)
{
    auto *field = Child<AddressEdit>(dialog, name);
    EXPECT_NE(field, nullptr) << name.toStdString();
    return field;
}

// ---- what every dialog shares ---------------------------------------------

struct LookCase {
    const char *objectName;
    const char16_t *caption;
    const char16_t *setCaption;
    std::function<std::unique_ptr<ConfigDialog>()> make;
    std::vector<const char *> controls;
};

TEST(ConfigDialogLook, CaptionsControlsAndStyle)
{
    const LookCase cases[] = {
        {"f_setip", u"IP cím beállítása", u"Beállít", [] { return std::make_unique<Tf_setip>(); }, {"me_ip_addr"}},
        {"f_passw", u"Jelszó bekérése", u"Rendben", [] { return std::make_unique<Tf_passw>(); }, {"em_passw"}},
        {"f_setMAC",
         u"MAC cím beállítása",
         u"Beállít",
         [] { return std::make_unique<Tf_setMAC>(); },
         {"SpinEdit1", "SpinEdit2", "SpinEdit3", "SpinEdit4", "SpinEdit5", "SpinEdit6"}},
        {"f_settings",
         u"Beállítások",
         u"Beállít",
         [] { return std::make_unique<Tf_settings>(); },
         {"me_ip_addr", "me_gateway", "me_mask", "SpinEdit1", "SpinEdit6", "bbtn_reset"}},
    };
    for (const LookCase &c : cases) {
        SCOPED_TRACE(c.objectName);
        std::unique_ptr<ConfigDialog> dialog = c.make();
        EXPECT_EQ(dialog->objectName(), QLatin1String(c.objectName));
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf16(c.caption));
        for (const char *name : c.controls)
            EXPECT_NE(dialog->findChild<QWidget *>(QLatin1String(name)), nullptr) << name;

        auto *set = Child<QPushButton>(dialog.get(), QStringLiteral("bbtn_set"));
        auto *back = Child<QPushButton>(dialog.get(), QStringLiteral("bbtn_back"));
        ASSERT_NE(set, nullptr);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(set->text(), QString::fromUtf16(c.setCaption));
        EXPECT_EQ(back->text(), QStringLiteral("Vissza"));
        EXPECT_TRUE(set->isDefault());
        // Dialogs are created at start: their icons wait for the first opening.
        EXPECT_TRUE(set->icon().isNull());
        EXPECT_TRUE(back->icon().isNull());

        dialog->show();
        QApplication::processEvents();
        EXPECT_FALSE(set->icon().isNull());
        EXPECT_FALSE(back->icon().isNull());
        EXPECT_LT(set->mapTo(dialog.get(), QPoint()).x(), back->mapTo(dialog.get(), QPoint()).x());
        EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
        EXPECT_EQ(dialog->palette().color(QPalette::Window), QColor(0, 0, 128));
        const QPoint screenCentre = dialog->screen()->availableGeometry().center();
        EXPECT_LE((dialog->frameGeometry().center() - screenCentre).manhattanLength(), 4);

        // Every label sits on a raised panel, in bold.
        const auto labels = dialog->findChildren<QLabel *>();
        EXPECT_FALSE(labels.isEmpty());
        for (const QLabel *label : labels) {
            if (label->text().isEmpty())
                continue;
            EXPECT_TRUE(label->font().bold()) << label->text().toStdString();
            const auto *panel = qobject_cast<const QFrame *>(label->parentWidget());
            ASSERT_NE(panel, nullptr);
            EXPECT_EQ(panel->frameShape(), QFrame::Panel);
            EXPECT_EQ(panel->frameShadow(), QFrame::Raised);
            // Dark labels need a light panel, not the navy of the dialog.
            EXPECT_NE(panel->palette().color(QPalette::Window), QColor(0, 0, 128));
        }
        dialog->close();
    }
}

// Vissza, Escape and the title bar's close box all end an opening with 0,
// even right after an opening that ended with 1.
TEST(ConfigDialogLook, EveryWayOutWithoutConfirmingGivesZero)
{
    const struct {
        const char *how;
        std::function<void(QWidget *)> leave;
    } ways[] = {
        {"Vissza", [](QWidget *d) { Click(d, QStringLiteral("bbtn_back")); }},
        {"Escape", [](QWidget *d) { QTest::keyClick(d, Qt::Key_Escape); }},
        {"close box", [](QWidget *d) { d->close(); }},
    };
    Tf_setip setip;
    Tf_passw passw;
    Tf_setMAC setmac;
    Tf_settings settings;
    for (ConfigDialog *dialog : std::initializer_list<ConfigDialog *>{&setip, &passw, &setmac, &settings}) {
        for (const auto &way : ways) {
            SCOPED_TRACE(dialog->objectName().toStdString() + " / " + way.how);
            ModalScript confirm;
            confirm.Then(IsNamed(dialog->objectName()), [](QWidget *d) { Click(d, QStringLiteral("bbtn_set")); });
            confirm.Start();
            EXPECT_EQ(dialog->exec(), QDialog::Accepted);
            EXPECT_TRUE(confirm.Done());
            EXPECT_EQ(dialog->Answer(), 1);

            ModalScript leave;
            leave.Then(IsNamed(dialog->objectName()), way.leave);
            leave.Start();
            EXPECT_EQ(dialog->exec(), QDialog::Rejected);
            EXPECT_TRUE(leave.Done());
            EXPECT_EQ(dialog->Answer(), 0);
        }
    }
}

// ---- set-IP dialog -------------------------------------------------------

TEST(ConfigDialogBuild, ControlsLeftForLaterGiveWhatControlsBuiltAtOnceGive)
{
    // The program's dialogs build their controls after its first broadcast;
    // until then every operation must answer as a dialog built at once does.
    using B = AnswerDialog::TBuild;
    const struct {
        const char *name;
        const char *control;
        std::function<std::unique_ptr<ConfigDialog>(B)> make;
        std::function<QString(ConfigDialog &)> read;
    } cases[] = {
        {"set-IP", "me_ip_addr", [](B b) { return std::make_unique<Tf_setip>(nullptr, b); },
         [](ConfigDialog &d) { return static_cast<Tf_setip &>(d).GetIP(); }},
        {"password", "em_passw", [](B b) { return std::make_unique<Tf_passw>(nullptr, b); },
         [](ConfigDialog &d) { return static_cast<Tf_passw &>(d).GetPassword(); }},
        {"MAC", "SpinEdit1", [](B b) { return std::make_unique<Tf_setMAC>(nullptr, b); },
         [](ConfigDialog &d) { return QString::fromLatin1(static_cast<Tf_setMAC &>(d).GetMAC().toHex()); }},
        {"settings", "me_gateway",
         [](B b) {
             auto d = std::make_unique<Tf_settings>(nullptr, b);
             d->SetGateway(QStringLiteral("10.0.0.1"));
             return d;
         },
         [](ConfigDialog &d) {
             auto &s = static_cast<Tf_settings &>(d);
             return s.ChangedIP() + u'|' + s.ChangedGateway() + u'|' + s.ChangedMask() + u'|'
                    + QString::fromLatin1(s.ChangedMAC().toHex());
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto now = c.make(B::Now);
        const auto later = c.make(B::Later);
        EXPECT_TRUE(now->ControlsBuilt());
        EXPECT_FALSE(later->ControlsBuilt());
        EXPECT_EQ(later->findChild<QWidget *>(QLatin1String(c.control)), nullptr);
        EXPECT_EQ(c.read(*later), c.read(*now));
        EXPECT_TRUE(later->ControlsBuilt()) << "reading builds them";

        // The first showing builds them before anything is on screen.
        const auto shown = c.make(B::Later);
        shown->show();
        EXPECT_TRUE(shown->ControlsBuilt());
        EXPECT_NE(shown->findChild<QWidget *>(QLatin1String(c.control)), nullptr);
        shown->hide();
    }
}

TEST(SetIpDialog, OpensWithTheStartAddressAndConfirmsAValidOne)
{
    Tf_setip dialog;
    dialog.SetIP(QStringLiteral("10.1.2.3"));
    QString shown;
    QWidget *focus = nullptr;
    bool selected = true;
    ModalScript script;
    script.Then(IsNamed(QStringLiteral("f_setip")), [&](QWidget *d) {
        AddressEdit *field = AddressField(d, QStringLiteral("me_ip_addr"));
        shown = field->FieldText();
        focus = d->focusWidget();
        selected = field->hasSelectedText();
        Click(d, QStringLiteral("bbtn_set"));
    });
    script.Start();
    dialog.exec();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(shown, QStringLiteral("10 .1  .2  .3  "));
    EXPECT_EQ(focus, AddressField(&dialog, QStringLiteral("me_ip_addr")));
    EXPECT_FALSE(selected);
    EXPECT_EQ(dialog.Answer(), 1);
    EXPECT_EQ(dialog.GetIP(), QStringLiteral("10.1.2.3"));
}

TEST(SetIpDialog, EnterTakesTheDefaultButtonWithTheTypedAddress)
{
    Tf_setip dialog;
    ModalScript script;
    script.Then(IsNamed(QStringLiteral("f_setip")), [](QWidget *d) {
        AddressEdit *field = AddressField(d, QStringLiteral("me_ip_addr"));
        field->setCursorPosition(0);
        QTest::keyClicks(field, QStringLiteral("192168001050"));
        QTest::keyClick(field, Qt::Key_Return);
    });
    script.Start();
    dialog.exec();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(dialog.Answer(), 1);
    EXPECT_EQ(dialog.GetIP(), QStringLiteral("192.168.001.050"));
}

TEST(SetIpDialog, InvalidAddressIsRefusedAndTheDialogStaysOpen)
{
    const char16_t *fields[] = {
        u"   .   .   .   ",
        u"256.1  .1  .1  ",
        u"10 .1  .   .3  ",
    };
    Tf_setip dialog;
    for (const char16_t *text : fields) {
        const QString fieldText = QString::fromUtf16(text);
        SCOPED_TRACE(fieldText.toStdString());
        SeenBox box;
        QString afterBox;
        ModalScript script;
        script
            .Then(IsNamed(QStringLiteral("f_setip")),
                  [&](QWidget *d) {
                      AddressField(d, QStringLiteral("me_ip_addr"))->SetFieldText(fieldText);
                      Click(d, QStringLiteral("bbtn_set"));
                  })
            .Then(IsMessageBox(), RecordAndPress(box, QMessageBox::Ok))
            .Then(IsNamed(QStringLiteral("f_setip")), [&](QWidget *d) {
                afterBox = AddressField(d, QStringLiteral("me_ip_addr"))->FieldText();
                Click(d, QStringLiteral("bbtn_back"));
            });
        script.Start();
        dialog.exec();
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(box.text, QStringLiteral("Hibás IP címet adott meg!"));
        EXPECT_EQ(box.title, QStringLiteral("Hiba"));
        EXPECT_EQ(box.buttons, static_cast<int>(QMessageBox::Ok));
        EXPECT_EQ(afterBox, fieldText);
        EXPECT_EQ(dialog.Answer(), 0);
    }
}

TEST(SetIpDialog, CorrectedAfterTheErrorIsAccepted)
{
    Tf_setip dialog;
    SeenBox box;
    ModalScript script;
    script
        .Then(IsNamed(QStringLiteral("f_setip")),
              [](QWidget *d) {
                  AddressField(d, QStringLiteral("me_ip_addr"))->SetFieldText(QStringLiteral("256.0  .0  .1  "));
                  Click(d, QStringLiteral("bbtn_set"));
              })
        .Then(IsMessageBox(), RecordAndPress(box, QMessageBox::Ok))
        .Then(IsNamed(QStringLiteral("f_setip")), [](QWidget *d) {
            AddressField(d, QStringLiteral("me_ip_addr"))->SetFieldText(QStringLiteral("0  .0  .0  .0  "));
            Click(d, QStringLiteral("bbtn_set"));
        });
    script.Start();
    dialog.exec();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(dialog.Answer(), 1);
    EXPECT_EQ(dialog.GetIP(), QStringLiteral("0.0.0.0"));
}

// The field is the store of the entered address until the next opening, which
// shows the start address again.
TEST(SetIpDialog, KeepsTheEnteredAddressUntilReopened)
{
    Tf_setip dialog;
    dialog.SetIP(QStringLiteral("10.0.0.5"));
    ModalScript first;
    first.Then(IsNamed(QStringLiteral("f_setip")), [](QWidget *d) {
        AddressField(d, QStringLiteral("me_ip_addr"))->SetAddress(QStringLiteral("10.0.0.77"));
        Click(d, QStringLiteral("bbtn_set"));
    });
    first.Start();
    dialog.exec();
    ASSERT_TRUE(first.Done());
    EXPECT_EQ(dialog.GetIP(), QStringLiteral("10.0.0.77"));
    EXPECT_EQ(dialog.GetIP(), QStringLiteral("10.0.0.77"));

    QString reopened;
    ModalScript second;
    second.Then(IsNamed(QStringLiteral("f_setip")), [&](QWidget *d) {
        reopened = AddressField(d, QStringLiteral("me_ip_addr"))->FieldText();
        Click(d, QStringLiteral("bbtn_back"));
    });
    second.Start();
    dialog.exec();
    EXPECT_TRUE(second.Done());
    EXPECT_EQ(reopened, QStringLiteral("10 .0  .0  .5  "));
    EXPECT_EQ(dialog.Answer(), 0);
}

TEST(SetIpDialog, StartsFromZeroAddress)
{
    Tf_setip dialog;
    QString shown;
    ModalScript script;
    script.Then(IsNamed(QStringLiteral("f_setip")), [&](QWidget *d) {
        shown = AddressField(d, QStringLiteral("me_ip_addr"))->FieldText();
        Click(d, QStringLiteral("bbtn_back"));
    });
    script.Start();
    dialog.exec();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(shown, QStringLiteral("0  .0  .0  .0  "));
}

// ---- password dialog -----------------------------------------------------

TEST(PasswordDialog, OpensEmptyWithFocusAndTakesAtMostTwentyCharacters)
{
    Tf_passw dialog;
    const struct {
        const char16_t *typed;
        const char16_t *password;
    } cases[] = {
        {u"titok", u"titok"},
        {u"a/b|c", u"a/b|c"}, // separators of the command pass as typed
        {u"őűŐŰ áé", u"őűŐŰ áé"},
        {u"0123456789abcdefghijKLMNO", u"0123456789abcdefghij"},
        {u"", u""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.typed).toStdString());
        QString atOpen = QStringLiteral("not read");
        bool focused = false;
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        ModalScript script;
        script.Then(IsNamed(QStringLiteral("f_passw")), [&](QWidget *d) {
            auto *entry = Child<QLineEdit>(d, QStringLiteral("em_passw"));
            atOpen = entry->text();
            focused = d->focusWidget() == entry;
            echo = entry->echoMode();
            Type(entry, QString::fromUtf16(c.typed));
            QTest::keyClick(entry, Qt::Key_Return);
        });
        script.Start();
        dialog.exec();
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(atOpen, QString());
        EXPECT_TRUE(focused);
        EXPECT_EQ(echo, QLineEdit::Password);
        EXPECT_EQ(dialog.Answer(), 1);
        EXPECT_EQ(dialog.GetPassword(), QString::fromUtf16(c.password));
    }
}

TEST(PasswordDialog, VisszaKeepsAnswerZero)
{
    Tf_passw dialog;
    ModalScript script;
    script.Then(IsNamed(QStringLiteral("f_passw")), [](QWidget *d) {
        QTest::keyClicks(Child<QLineEdit>(d, QStringLiteral("em_passw")), QStringLiteral("x"));
        Click(d, QStringLiteral("bbtn_back"));
    });
    script.Start();
    dialog.exec();
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(dialog.Answer(), 0);
}

// ---- MAC dialog ----------------------------------------------------------

// value() keeps the old number while the field is empty and focused; what the
// field shows is what counts, and leaving it shows 0.
TEST(ByteSpinEdit, EmptiedFieldReadsZeroBeforeAndAfterLeavingIt)
{
    QWidget window;
    auto *spin = new ByteSpinEdit(&window);
    auto *other = new QLineEdit(&window);
    window.show();
    spin->setValue(42);
    spin->setFocus();
    QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(spin, Qt::Key_Backspace);
    EXPECT_EQ(spin->text(), QString());
    EXPECT_EQ(spin->ByteValue(), 0);

    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(spin, &out);
    other->setFocus();
    EXPECT_EQ(spin->text(), QStringLiteral("0"));
    EXPECT_EQ(spin->value(), 0);
    EXPECT_EQ(spin->ByteValue(), 0);
}

TEST(MacDialog, FieldsStartAtOne)
{
    Tf_setMAC dialog;
    EXPECT_EQ(dialog.GetMAC(), QByteArray(6, '\x01'));
}

TEST(MacDialog, SetAndGetSixBytes)
{
    Tf_setMAC dialog;
    const QByteArray mac = QByteArrayLiteral("\x00\x01\x7F\x80\xFE\xFF");
    dialog.SetMAC(mac);
    EXPECT_EQ(dialog.GetMAC(), mac);
    EXPECT_EQ(Child<QSpinBox>(&dialog, QStringLiteral("SpinEdit1"))->value(), 0);
    EXPECT_EQ(Child<QSpinBox>(&dialog, QStringLiteral("SpinEdit6"))->value(), 255);

    // A short argument leaves zeros, a long one is cut at six bytes.
    dialog.SetMAC(QByteArrayLiteral("\x0A\x0B"));
    EXPECT_EQ(dialog.GetMAC(), QByteArrayLiteral("\x0A\x0B\x00\x00\x00\x00"));
    dialog.SetMAC(QByteArrayLiteral("\x01\x02\x03\x04\x05\x06\x07"));
    EXPECT_EQ(dialog.GetMAC(), QByteArrayLiteral("\x01\x02\x03\x04\x05\x06"));
}

TEST(MacDialog, EditedAndEmptiedFieldsAsTheUserLeftThem)
{
    const struct {
        const char *how;
        std::function<void(QWidget *)> confirm;
    } confirms[] = {
        {"Enter", [](QWidget *d) { QTest::keyClick(d->focusWidget(), Qt::Key_Return); }},
        {"click", [](QWidget *d) { Click(d, QStringLiteral("bbtn_set")); }},
    };
    for (const auto &c : confirms) {
        SCOPED_TRACE(c.how);
        Tf_setMAC dialog;
        dialog.SetMAC(QByteArrayLiteral("\x0A\x14\x1E\x28\x32\x3C"));
        QWidget *focus = nullptr;
        ModalScript script;
        script.Then(IsNamed(QStringLiteral("f_setMAC")), [&](QWidget *d) {
            focus = d->focusWidget();
            auto *third = Child<ByteSpinEdit>(d, QStringLiteral("SpinEdit3"));
            third->setFocus();
            QTest::keyClick(third, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(third, Qt::Key_Backspace);
            auto *sixth = Child<ByteSpinEdit>(d, QStringLiteral("SpinEdit6"));
            sixth->setFocus();
            QTest::keyClick(sixth, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(sixth, QStringLiteral("2999")); // a fourth digit does not fit
            c.confirm(d);
        });
        script.Start();
        dialog.exec();
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(focus, Child<QWidget>(&dialog, QStringLiteral("SpinEdit1")));
        EXPECT_EQ(dialog.Answer(), 1);
        EXPECT_EQ(dialog.GetMAC(), QByteArrayLiteral("\x0A\x14\x00\x28\x32\x1D"));
    }
}

TEST(MacDialog, OpeningLeavesTheFieldsAlone)
{
    Tf_setMAC dialog;
    dialog.SetMAC(QByteArrayLiteral("\x01\x02\x03\x04\x05\x06"));
    ModalScript first;
    first.Then(IsNamed(QStringLiteral("f_setMAC")), [](QWidget *d) {
        Child<QSpinBox>(d, QStringLiteral("SpinEdit2"))->setValue(200);
        Click(d, QStringLiteral("bbtn_back"));
    });
    first.Start();
    dialog.exec();
    ASSERT_TRUE(first.Done());
    EXPECT_EQ(dialog.Answer(), 0);

    QByteArray atReopen;
    ModalScript second;
    second.Then(IsNamed(QStringLiteral("f_setMAC")), [&](QWidget *d) {
        atReopen = dialog.GetMAC();
        Click(d, QStringLiteral("bbtn_back"));
    });
    second.Start();
    dialog.exec();
    EXPECT_TRUE(second.Done());
    EXPECT_EQ(atReopen, QByteArrayLiteral("\x01\xC8\x03\x04\x05\x06"));
}

} // namespace
