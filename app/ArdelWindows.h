// The program's windows, created in the order the program starts them: the
// main window first (its creation lists the own addresses), then the five dialogs.
#pragma once

#include "app/frm_main.h"

#include <memory>

namespace ardel {

// The application title "Ardel" (task bar, WM_CLASS). Set as the application
// name only: Qt appends a display name to every window title that does not end
// in it ("IP cím beállítása — Ardel"), and the captions must reach the window
// system exactly as the windows give them.
void SetApplicationTitle();

struct TArdelWindows {
    TArdelWindows();
    ~TArdelWindows();

    std::unique_ptr<Tf_main> f_main;
    std::unique_ptr<Tf_setip> f_setip;
    std::unique_ptr<Tf_passw> f_passw;
    std::unique_ptr<Tf_setMAC> f_setMAC;
    std::unique_ptr<Tf_netparam> f_netparam;
    std::unique_ptr<Tf_settings> f_settings;
};

} // namespace ardel
