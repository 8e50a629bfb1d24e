// Shared helpers for the device table tests.
#pragma once

#include "app/core/DeviceTable.h"

#include <QAbstractItemModelTester>
#include <QStringList>
#include <gtest/gtest.h>

#include <memory>

namespace ardel::test {

struct DeviceFields {
    QString mac = QStringLiteral("0.1.2.3.4.5");
    QString ip = QStringLiteral("10.77.128.1");
    QString port = QStringLiteral("1010");
    QString status = QStringLiteral("000I*");
    QString owner;
    QString name;
    QString tavow;
    QString gateway;
    QString mask;
};

// The ten texts in the order the merge expects them (field 3 is carried but
// never shown).
DeviceRow MakeRow(const DeviceFields &f);

// A model with Qt's model checker attached: any broken signal sequence or
// inconsistent answer during a test fails that test.
class DeviceTableTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    void Merge(const DeviceFields &f) { model.MergeDeviceRow(MakeRow(f)); }
    // Column `column` of every row, top to bottom.
    QStringList ColumnTexts(int column) const;

    TDeviceTableModel model;

private:
    std::unique_ptr<QAbstractItemModelTester> m_tester;
};

} // namespace ardel::test
