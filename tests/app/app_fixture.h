// The real program windows, created inside the workstation namespace of the
// test LAN, with the log file in a private working directory.
#pragma once

#include "app/ArdelWindows.h"

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

    QTemporaryDir dir;
    QString oldCwd;
    std::unique_ptr<ardel::TArdelWindows> windows;
};

// Runs fn on the next modal dialog that opens (within timeoutMs).
void OnNextModal(std::function<void(QWidget *)> fn, int timeoutMs = 5000);
