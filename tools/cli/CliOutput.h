// The scanned devices as text: an aligned table, RFC 4180 CSV or JSON.
#pragma once

#include "tools/cli/CliOptions.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace ardel::cli {

// The keys of the JSON objects, also the CSV header.
const QStringList &DeviceKeys();

// rows: the device table's twelve cells per row. They are written by IP
// address, numerically (a cell that is not an address first), UTF-8.
QByteArray FormatDevices(QList<QStringList> rows, const std::function<bool(const QString &ip)> &inOwnSubnet, Format format);

// One CSV field: quoted when it holds a comma, a quote, CR or LF.
QString CsvField(const QString &text);

// Sorts rows by their IP cell, numerically; stable.
void SortByAddress(QList<QStringList> &rows);

} // namespace ardel::cli
