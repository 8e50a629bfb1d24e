#include "app/core/DeviceTable.h"

#include "net/TextUtil.h"

#include <QCollator>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <numeric>

namespace ardel {

namespace {

constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;

constexpr std::array<DeviceColumnInfo, kDeviceColumnCount> kColumns{{
    {u"Státusz", 60, kLeft, kLeft, true},
    {u"Tulajdonos", 130, kLeft, kLeft, true},
    {u"Készüléknév", 100, kCentre, kCentre, true},
    {u"MAC cím", 170, kCentre, kCentre, true},
    {u"MAC cím hexa", 170, kCentre, kCentre, false},
    {u"IP cím", 128, kCentre, kCentre, true},
    {u"Port", 70, kCentre, kCentre, true},
    {u"Program verzió", 150, kCentre, kCentre, true},
    {u"Listastátusz", 90, kCentre, kLeft, true},
    {u"TAVOW cím", 80, kCentre, kCentre, true},
    {u"Átjáró", 128, kCentre, kCentre, true},
    {u"Alhálózati maszk", 128, kCentre, kCentre, true},
}};

// Many scattered removals are cheaper for the model and for a view as one
// reset than as a signal per run of rows.
constexpr size_t kMaxRangedRemovals = 32;

// Shared instances, so that thousands of cells share one buffer.
const QString &ListNewText()
{
    static const QString text = kListStatusNew.toString();
    return text;
}
const QString &ListOldText()
{
    static const QString text = kListStatusOld.toString();
    return text;
}
const QString &ListEmptyText()
{
    static const QString text = kListStatusEmpty.toString();
    return text;
}

// The '.'-separated parts of text, split as SplitText splits it, as byte
// values (-1 for a part that is not a ParseUnsignedByte byte); false when the
// text has another number of parts. Every reply's MAC and IP go through
// here, so it works on views instead of a list of new strings.
template <size_t N> bool DottedParts(QStringView text, std::array<int, N> &values)
{
    size_t n = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype dot = text.indexOf(u'.', from);
        if (n == N)
            return false;
        int v = 0;
        values[n++] = ParseUnsignedByte(text.mid(from, dot < 0 ? -1 : dot - from), v) ? v : -1;
        if (dot < 0)
            return n == N;
        from = dot + 1;
    }
}

template <size_t N> bool AllBytes(QStringView text)
{
    std::array<int, N> v{};
    return DottedParts(text, v) && std::none_of(v.cbegin(), v.cend(), [](int b) { return b < 0; });
}

// Sort key of an IP cell: the address as a number, or -1 for a cell that is
// not an address, which puts those rows before all addresses.
qint64 IpSortKey(const QString &text)
{
    std::array<int, 4> parts{};
    if (!DottedParts(text, parts))
        return -1;
    qint64 key = 0;
    for (const int v : parts) {
        if (v < 0)
            return -1;
        key = key * 256 + v;
    }
    return key;
}

// Each exported row must stay one line: a line break a device put into its
// name would otherwise split the row.
QString ExportCellText(const QString &cell)
{
    if (!cell.contains(QLatin1Char('\r')) && !cell.contains(QLatin1Char('\n')))
        return cell;
    QString text = cell;
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

} // namespace

const std::array<DeviceColumnInfo, kDeviceColumnCount> &DeviceColumns()
{
    return kColumns;
}

bool IsValidMac(const QString &text)
{
    return AllBytes<6>(text);
}

bool IsValidIp(const QString &text)
{
    return AllBytes<4>(text);
}

QString MacToHex(const QString &text)
{
    std::array<int, 6> parts{};
    if (!DottedParts(text, parts))
        return QString();
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char hex[17];
    for (size_t i = 0; i < parts.size(); ++i) {
        // A part that is not a byte shows as 00.
        const int v = std::max(parts[i], 0);
        hex[i * 3] = kDigits[v >> 4];
        hex[i * 3 + 1] = kDigits[v & 0xF];
        if (i + 1 < parts.size())
            hex[i * 3 + 2] = ':';
    }
    return QString::fromLatin1(hex, 17);
}

TDeviceTableModel::TDeviceTableModel(QObject *parent) : QAbstractTableModel(parent)
{
}

TDeviceTableModel::~TDeviceTableModel() = default;

int TDeviceTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : RowCount();
}

int TDeviceTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kDeviceColumnCount;
}

QVariant TDeviceTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = *m_rows[static_cast<size_t>(index.row())];
    const auto column = static_cast<size_t>(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return row.cells[column];
    case Qt::BackgroundRole:
        if (row.colours[column])
            return *row.colours[column];
        return QVariant();
    case Qt::TextAlignmentRole:
        return static_cast<int>(kColumns[column].cellAlignment);
    default:
        return QVariant();
    }
}

QVariant TDeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < kDeviceColumnCount) {
        const DeviceColumnInfo &info = kColumns[static_cast<size_t>(section)];
        if (role == Qt::DisplayRole)
            return info.caption.toString();
        if (role == Qt::TextAlignmentRole)
            return static_cast<int>(info.headerAlignment);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

void TDeviceTableModel::MergeDeviceRow(const DeviceRow &f)
{
    if (f.size() < kDeviceRowFields || !IsValidMac(f.at(RowMac)))
        return;
    const QString &mac = f.at(RowMac);
    const QString &status = f.at(RowStatus);
    const QString &ip = f.at(RowIp);

    int r = FindDeviceRow(ip, mac);
    const bool isNew = r < 0;
    std::unique_ptr<Row> fresh;
    Row *row = nullptr;
    if (isNew) {
        // Filled completely before it is inserted, so that a view never sees
        // a half-written row.
        fresh = std::make_unique<Row>();
        row = fresh.get();
        row->cells[ColListStatus] = ListNewText();
        row->colours[ColListStatus] = kColourListNew;
    } else {
        row = m_rows[static_cast<size_t>(r)].get();
        if (row->cells[ColListStatus] == kListStatusEmpty) {
            row->cells[ColListStatus] = ListOldText();
            row->colours[ColListStatus] = kColourListOld;
        }
    }

    row->cells[ColStatus] = status.mid(3, 2);
    const bool connected = status.size() >= 5 && status.at(4) == QLatin1Char('C');
    row->colours[ColStatus] = connected ? kColourStatusConnected : kColourStatusIdle;

    if (m_inOwnSubnet && !m_inOwnSubnet(ip)) {
        for (int c = ColOwner; c < kDeviceColumnCount; ++c) {
            if (c != ColListStatus)
                row->colours[static_cast<size_t>(c)] = kColourOutsideSubnet;
        }
    }

    row->cells[ColOwner] = f.at(RowOwner);
    row->cells[ColDeviceName] = f.at(RowName);
    row->cells[ColMac] = mac;
    row->cells[ColMacHex] = MacToHex(mac);
    // An existing row was found by this very IP text, so column 5 only
    // changes for a new row; the index is updated when that row goes in.
    if (IsValidIp(ip))
        row->cells[ColIp] = ip;
    row->cells[ColPort] = f.at(RowPort);
    row->cells[ColTavow] = f.at(RowTavow);
    row->cells[ColGateway] = f.at(RowGateway);
    row->cells[ColMask] = f.at(RowMask);

    if (isNew) {
        r = RowCount();
        beginInsertRows(QModelIndex(), r, r);
        m_rows.push_back(std::move(fresh));
        if (!m_indexStale)
            IndexAdd(m_rows.back()->cells[ColIp], r);
        endInsertRows();
    } else {
        emit dataChanged(index(r, 0), index(r, kDeviceColumnCount - 1), {Qt::DisplayRole, Qt::BackgroundRole});
    }
}

int TDeviceTableModel::FindDeviceRow(const QString &ip, const QString &mac, const QString &tavow) const
{
    RebuildIndexIfStale();
    const auto it = m_ipIndex.constFind(ip);
    if (it == m_ipIndex.cend())
        return -1;
    for (const int r : *it) {
        const Row &row = *m_rows[static_cast<size_t>(r)];
        if (!mac.isEmpty() && row.cells[ColMac] != mac)
            continue;
        if (!tavow.isEmpty() && row.cells[ColTavow] != tavow)
            continue;
        return r;
    }
    return -1;
}

void TDeviceTableModel::MarkRowsEmpty()
{
    if (m_rows.empty())
        return;
    for (auto &row : m_rows)
        row->cells[ColListStatus] = ListEmptyText();
    emit dataChanged(index(0, ColListStatus), index(RowCount() - 1, ColListStatus), {Qt::DisplayRole});
}

void TDeviceTableModel::DropEmptyRows()
{
    // Runs of consecutive rows to delete, top to bottom.
    std::vector<std::pair<int, int>> runs;
    for (int r = 0; r < RowCount(); ++r) {
        if (m_rows[static_cast<size_t>(r)]->cells[ColListStatus] != kListStatusEmpty)
            continue;
        if (!runs.empty() && runs.back().second == r - 1)
            runs.back().second = r;
        else
            runs.emplace_back(r, r);
    }
    if (runs.empty())
        return;

    if (runs.size() <= kMaxRangedRemovals) {
        // Bottom up, so that the indexes of the runs still to go stay valid;
        // a view keeps its selection on the rows that remain.
        for (auto it = runs.crbegin(); it != runs.crend(); ++it)
            RemoveRun(it->first, it->second);
        return;
    }
    beginResetModel();
    std::erase_if(m_rows, [](const std::unique_ptr<Row> &row) { return row->cells[ColListStatus] == kListStatusEmpty; });
    m_indexStale = true;
    endResetModel();
}

void TDeviceTableModel::RemoveRun(int first, int last)
{
    beginRemoveRows(QModelIndex(), first, last);
    m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
    m_indexStale = true;
    endRemoveRows();
}

QString TDeviceTableModel::Cell(int row, int column) const
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= kDeviceColumnCount)
        return QString();
    return m_rows[static_cast<size_t>(row)]->cells[static_cast<size_t>(column)];
}

std::optional<QColor> TDeviceTableModel::CellColour(int row, int column) const
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= kDeviceColumnCount)
        return std::nullopt;
    return m_rows[static_cast<size_t>(row)]->colours[static_cast<size_t>(column)];
}

QStringList TDeviceTableModel::RowCells(int row) const
{
    QStringList cells;
    if (row < 0 || row >= RowCount())
        return cells;
    const Row &r = *m_rows[static_cast<size_t>(row)];
    cells.reserve(kDeviceColumnCount);
    for (const QString &cell : r.cells)
        cells.append(cell);
    return cells;
}

bool TDeviceTableModel::SetCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= RowCount() || column < 0 || column >= kDeviceColumnCount)
        return false;
    QString &cell = m_rows[static_cast<size_t>(row)]->cells[static_cast<size_t>(column)];
    if (cell == text)
        return true;
    if (column == ColIp && !m_indexStale) {
        IndexRemove(cell, row);
        IndexAdd(text, row);
    }
    cell = text;
    const QModelIndex at = index(row, column);
    emit dataChanged(at, at, {Qt::DisplayRole});
    return true;
}

void TDeviceTableModel::SetSubnetTest(SubnetTest test)
{
    m_inOwnSubnet = std::move(test);
}

void TDeviceTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kDeviceColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    const int n = RowCount();
    if (n < 2)
        return;

    std::vector<int> perm(static_cast<size_t>(n));
    std::iota(perm.begin(), perm.end(), 0);
    const auto col = static_cast<size_t>(column);
    const bool ascending = order == Qt::AscendingOrder;
    if (column == ColIp) {
        std::vector<qint64> keys;
        keys.reserve(perm.size());
        for (const auto &row : m_rows)
            keys.push_back(IpSortKey(row->cells[col]));
        std::stable_sort(perm.begin(), perm.end(), [&keys, ascending](int a, int b) {
            const qint64 ka = keys[static_cast<size_t>(a)];
            const qint64 kb = keys[static_cast<size_t>(b)];
            return ascending ? ka < kb : kb < ka;
        });
    } else {
        // Collation keys are computed once per row; comparing them is far
        // cheaper than a locale-aware compare per pair.
        QCollator collator;
        std::vector<QCollatorSortKey> keys;
        keys.reserve(perm.size());
        for (const auto &row : m_rows)
            keys.push_back(collator.sortKey(row->cells[col]));
        std::stable_sort(perm.begin(), perm.end(), [&keys, ascending](int a, int b) {
            const int cmp = keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]);
            return ascending ? cmp < 0 : cmp > 0;
        });
    }
    ApplyOrder(perm);
}

void TDeviceTableModel::ApplyOrder(const std::vector<int> &perm)
{
    // perm[new position] = old position
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newPosition(perm.size());
    for (size_t i = 0; i < perm.size(); ++i)
        newPosition[static_cast<size_t>(perm[i])] = static_cast<int>(i);

    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &idx : from)
        to.append(index(newPosition[static_cast<size_t>(idx.row())], idx.column()));

    std::vector<std::unique_ptr<Row>> sorted(perm.size());
    for (size_t i = 0; i < perm.size(); ++i)
        sorted[i] = std::move(m_rows[static_cast<size_t>(perm[i])]);
    m_rows.swap(sorted);
    m_indexStale = true;

    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TDeviceTableModel::Resort()
{
    sort(m_sortColumn, m_sortOrder);
}

QStringList TDeviceTableModel::ExportLines() const
{
    static const QString separator = QStringLiteral(" , ");
    QStringList lines;
    lines.reserve(RowCount());
    for (const auto &row : m_rows) {
        QString line;
        for (const QString &cell : row->cells) {
            line += ExportCellText(cell);
            line += separator;
        }
        lines.append(line);
    }
    return lines;
}

QByteArray TDeviceTableModel::ExportBytes() const
{
    // One conversion for the whole text: opening a converter per line costs
    // more than the conversion itself.
    const QStringList lines = ExportLines();
    if (lines.isEmpty())
        return QByteArray();
    static const QString lineEnd = QStringLiteral("\r\n");
    return ToCp1250(lines.join(lineEnd) + lineEnd);
}

bool TDeviceTableModel::WriteExportFile(const QString &path, const QByteArray &bytes, QString *error)
{
    // QSaveFile writes a temporary file next to the target and renames it
    // over the target only when everything was written.
    QSaveFile file(path);
    const auto fail = [&file, error]() {
        if (error)
            *error = file.errorString();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    if (file.write(bytes) != bytes.size()) {
        const bool result = fail();
        file.cancelWriting();
        return result;
    }
    if (!file.commit())
        return fail();
    return true;
}

void TDeviceTableModel::IndexAdd(const QString &ip, int row) const
{
    QList<int> &rows = m_ipIndex[ip];
    rows.insert(std::lower_bound(rows.begin(), rows.end(), row), row);
}

void TDeviceTableModel::IndexRemove(const QString &ip, int row) const
{
    const auto it = m_ipIndex.find(ip);
    if (it == m_ipIndex.end())
        return;
    QList<int> &rows = *it;
    const auto at = std::lower_bound(rows.begin(), rows.end(), row);
    if (at != rows.end() && *at == row)
        rows.erase(at);
    if (rows.isEmpty())
        m_ipIndex.erase(it);
}

void TDeviceTableModel::RebuildIndexIfStale() const
{
    if (!m_indexStale)
        return;
    m_ipIndex.clear();
    for (size_t r = 0; r < m_rows.size(); ++r)
        m_ipIndex[m_rows[r]->cells[ColIp]].append(static_cast<int>(r));
    m_indexStale = false;
}

} // namespace ardel
