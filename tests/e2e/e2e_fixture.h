// The real program windows (offscreen) in the workstation namespace against
// the device emulator in the device namespace.
#pragma once

#include "tests/app/app_fixture.h"
#include "tests/common/TestLan.h"

#include <QJsonArray>
#include <QJsonObject>

class E2eTest : public AppTest {
protected:
    void TearDown() override;

    bool startDevices(const QJsonArray &devices, int spreadMs = 0);
    // Commands the workstation sent from its first address, in order.
    QList<testlan::JournalEntry> sentFrom(const QString &src, const QString &dstPort) const;
    // The memo's texts from the last occurrence of marker on (marker included).
    QStringList memoSince(int firstLine) const;

    testlan::Devsim sim;
};

QJsonObject PlainDevice(const char *ip, const char *mac, const char *owner, const char *name, const char *version,
                        const char *status = "N**I*");
