#include "app/ArdelWindows.h"

#include "config/frm_passw.h"
#include "config/frm_setMAC.h"
#include "config/frm_setip.h"
#include "config/frm_settings.h"
#include "net/ui/frm_netparam.h"

#include <QApplication>

namespace ardel {

void SetApplicationTitle()
{
    QApplication::setApplicationName(QStringLiteral("Ardel"));
}

TArdelWindows::TArdelWindows()
{
    f_main = std::make_unique<Tf_main>();
    // The dialogs build their controls after the main window's first
    // broadcast (or at their first showing).
    constexpr auto later = AnswerDialog::TBuild::Later;
    f_setip = std::make_unique<Tf_setip>(nullptr, later);
    f_passw = std::make_unique<Tf_passw>(nullptr, later);
    f_setMAC = std::make_unique<Tf_setMAC>(nullptr, later);
    f_netparam = std::make_unique<Tf_netparam>(nullptr, later);
    f_settings = std::make_unique<Tf_settings>(nullptr, later);
    f_main->SetDialogs({f_setip.get(), f_passw.get(), f_setMAC.get(), f_netparam.get(), f_settings.get()});
}

TArdelWindows::~TArdelWindows()
{
    // The main window's endpoints hold check boxes of the network dialog:
    // the window goes first.
    f_main.reset();
}

} // namespace ardel
