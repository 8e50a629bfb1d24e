// The device table: what the program knows about the devices on the LAN, one
// row of twelve text cells per device, with the merge rules that fold
// discovery replies and TAVO device information into it. No widgets here: the
// main window shows this model in a QTableView.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QColor>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace ardel {

// Column indexes of the device table; other parts of the program read and
// write cells by these numbers.
enum DeviceColumn : int {
    ColStatus = 0, // the two status letters
    ColOwner = 1,
    ColDeviceName = 2,
    ColMac = 3,    // dotted decimal, as received
    ColMacHex = 4, // hidden at start
    ColIp = 5,     // the sort column at start
    ColPort = 6,
    ColVersion = 7, // never written by a merge
    ColListStatus = 8,
    ColTavow = 9, // empty for devices without a TAVOW address
    ColGateway = 10,
    ColMask = 11,
};
inline constexpr int kDeviceColumnCount = 12;

struct DeviceColumnInfo {
    QStringView caption;
    int width; // pixels
    Qt::Alignment cellAlignment;
    Qt::Alignment headerAlignment;
    bool shownAtStart;
};

// Look of the columns, in index order (which is also the display order).
const std::array<DeviceColumnInfo, kDeviceColumnCount> &DeviceColumns();

// One device as the merge receives it, by the positions below. Extra entries
// are ignored.
using DeviceRow = QStringList;

// Positions in a DeviceRow (not the table's column numbers).
enum DeviceRowField : int {
    RowMac = 0, // six decimal numbers 0..255 joined by "."
    RowPort = 1,
    RowStatus = 2, // its 4th and 5th characters are the status letters
    RowHidden = 3, // a text the table does not show
    RowOwner = 4,
    RowName = 5, // device name
    RowIp = 6,
    RowTavow = 7, // empty for devices without a TAVOW address
    RowGateway = 8,
    RowMask = 9,
};
inline constexpr int kDeviceRowFields = 10;

// Texts of the "Listastátusz" column.
inline constexpr QStringView kListStatusNew = u"új";     // added by the current refresh
inline constexpr QStringView kListStatusOld = u"régi";   // existed before, confirmed again
inline constexpr QStringView kListStatusEmpty = u"üres"; // not yet confirmed in this refresh

// Cell colours set by the merge rules.
inline const QColor kColourListNew{201, 251, 151};       // light green, with "új"
inline const QColor kColourListOld{251, 251, 151};       // light yellow, with "régi"
inline const QColor kColourStatusConnected{0, 255, 0};   // lime: TCP 1001 connection
inline const QColor kColourStatusIdle{0, 128, 0};        // green
inline const QColor kColourOutsideSubnet{238, 238, 238}; // light grey

// Six "."-separated decimal numbers 0..255.
bool IsValidMac(const QString &text);
// Four "."-separated decimal numbers 0..255.
bool IsValidIp(const QString &text);
// "10.20.30.40.50.255" -> "0A:14:1E:28:32:FF"; empty unless there are six
// pieces. A piece that is not a number from 0 to 255 is shown as "00".
QString MacToHex(const QString &text);

class TDeviceTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Tells whether a device address lies in the workstation's own subnet.
    using SubnetTest = std::function<bool(const QString &ip)>;

    explicit TDeviceTableModel(QObject *parent = nullptr);
    ~TDeviceTableModel() override;

    // QAbstractItemModel
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Stable. Column 5 sorts by the numeric value of the four parts of the
    // address; a cell that is not an address sorts before every address in
    // ascending order (after them in descending order). The other columns
    // sort by the user's locale (QCollator). Rows that compare equal keep
    // their order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Adds a device or updates its row; rejects rows with fewer than ten
    // texts or with a malformed MAC address.
    void MergeDeviceRow(const DeviceRow &row);
    // First row from the top whose IP cell equals ip and, when given, whose
    // MAC cell equals mac and whose TAVOW cell equals tavow; -1 when none.
    int FindDeviceRow(const QString &ip, const QString &mac = QString(), const QString &tavow = QString()) const;
    // Start of a refresh: every row becomes "üres" (colours stay).
    void MarkRowsEmpty();
    // End of a refresh: deletes every row still "üres".
    void DropEmptyRows();

    int RowCount() const { return static_cast<int>(m_rows.size()); }
    // Empty text / no colour outside the table.
    QString Cell(int row, int column) const;
    std::optional<QColor> CellColour(int row, int column) const;
    // All twelve cells of a row; empty outside the table.
    QStringList RowCells(int row) const;
    // Writes one cell's text (colour unchanged); false outside the table.
    bool SetCell(int row, int column, const QString &text);

    // Without a test every device counts as inside the own subnet.
    void SetSubnetTest(SubnetTest test);

    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortOrder() const { return m_sortOrder; }
    // Sorts again by the current column and direction.
    void Resort();

    // One line per row in the current order: every cell of all twelve
    // columns (hidden ones too) followed by " , ". No header, no quoting.
    QStringList ExportLines() const;
    // The export lines in code page 1250, each ended by CR LF.
    QByteArray ExportBytes() const;
    // Replaces the file at path with bytes in one step, so that a failed
    // write leaves an existing file untouched. On failure returns false and
    // puts the system's error text into *error (when given).
    static bool WriteExportFile(const QString &path, const QByteArray &bytes, QString *error);

private:
    struct Row {
        std::array<QString, kDeviceColumnCount> cells;
        std::array<std::optional<QColor>, kDeviceColumnCount> colours;
    };

    void IndexAdd(const QString &ip, int row) const;
    void IndexRemove(const QString &ip, int row) const;
    void RebuildIndexIfStale() const;
    void ApplyOrder(const std::vector<int> &order);
    void RemoveRun(int first, int last);

    std::vector<std::unique_ptr<Row>> m_rows;
    SubnetTest m_inOwnSubnet;
    int m_sortColumn = ColIp;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;

    // IP cell text -> rows holding it, ascending, so that a lookup sees the
    // rows in table order without scanning the table. Rebuilt lazily after
    // operations that move many rows (sort, drop).
    mutable QHash<QString, QList<int>> m_ipIndex;
    mutable bool m_indexStale = false;
};

} // namespace ardel
