// The real program windows, created inside the workstation namespace of the
// test LAN, with the log file in a private working directory.
#pragma once

#include "app/ArdelWindows.h"
#include "app/MainWindowProbe.h"
#include "app/core/DeviceTable.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the windows (FormCreate runs) without showing the main window.
    void create();
    // Shows the main window (first FormShow) and waits for the first refresh to end.
    void showAndWaitIdle(int timeoutMs = 5000);
    bool waitIdle(int timeoutMs);
    QByteArray logBytes() const;
    QStringList memoTexts() const; // memo lines without their time stamps

    ardel::Tf_main *main() const { return windows->f_main.get(); }
    // What the window keeps beyond its widgets, read-only.
    ardel::TMainWindowProbe probe() const { return ardel::TMainWindowProbe(*main()); }
    const ardel::TDeviceTableModel &table() const { return probe().Table(); }

    QTemporaryDir dir;
    QString oldCwd;
    std::unique_ptr<ardel::TArdelWindows> windows;
};

// The window's state beyond its widgets, read-only.
inline ardel::TMainWindowProbe Probe(const ardel::Tf_main *m)
{
    return ardel::TMainWindowProbe(*m);
}

// A control of a window by its object name; the test fails without it.
template <class T> T *Control(const QObject *root, const char *name)
{
    T *c = root->findChild<T *>(QLatin1String(name));
    if (!c)
        ADD_FAILURE() << "no control " << name;
    return c;
}

// Puts devices into the window's table the way devices do: a discovery reply
// to an "X" for a row without TAVOW address, an "AETEI" packet from port
// 65500 for one with it (then only MAC, IP, TAVOW address, gateway and mask
// count). The reply window the "X" opened is ended at once.
void FeedDevices(ardel::Tf_main *m, const QList<ardel::DeviceRow> &rows);
// The datagrams FeedDevices uses.
QByteArray DiscoveryReplyOf(const ardel::DeviceRow &row);
QByteArray AeteiPacketOf(const ardel::DeviceRow &row);

// Runs fn on the next modal dialog that opens (within timeoutMs).
void OnNextModal(std::function<void(QWidget *)> fn, int timeoutMs = 5000);
