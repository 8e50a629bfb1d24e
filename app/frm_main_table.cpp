// The device table's view: columns, selection, MAC display, export, web page
// and the popup menus.
#include "app/frm_main.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QHostAddress>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

#include <algorithm>
#include <cstdlib>

namespace ardel {

namespace {

// The grid's mouse handling: only the left button selects and only a left
// double click opens the settings; a right click opens the popup of the row
// already selected. Dragging a row's lower border resizes the row.
class GridEvents : public QObject {
public:
    explicit GridEvents(Tf_main *owner, QTableView *view) : QObject(owner), m_owner(owner), m_view(view) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        Q_UNUSED(watched);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() != Qt::LeftButton)
                return true;
            const int row = borderRowAt(me->position().toPoint().y());
            if (row < 0)
                return false;
            m_sizingRow = row;
            m_sizingFromY = me->position().toPoint().y();
            m_sizingFromHeight = m_view->rowHeight(row);
            return true;
        }
        case QEvent::MouseMove: {
            auto *me = static_cast<QMouseEvent *>(event);
            const int y = me->position().toPoint().y();
            if (m_sizingRow >= 0) {
                m_view->setRowHeight(m_sizingRow, std::max(kMinRowHeight, m_sizingFromHeight + y - m_sizingFromY));
                return true;
            }
            if (me->buttons() == Qt::NoButton) {
                if (borderRowAt(y) >= 0)
                    m_view->viewport()->setCursor(Qt::SplitVCursor);
                else
                    m_view->viewport()->unsetCursor();
            }
            return false;
        }
        case QEvent::MouseButtonRelease: {
            auto *me = static_cast<QMouseEvent *>(event);
            if (me->button() == Qt::LeftButton && m_sizingRow >= 0) {
                m_sizingRow = -1;
                return true;
            }
            if (me->button() == Qt::RightButton) {
                m_owner->ngrid_machine_listMouseUp(me->button(), me->globalPosition().toPoint());
                return true;
            }
            return me->button() != Qt::LeftButton;
        }
        default:
            return false;
        }
    }

private:
    static constexpr int kMinRowHeight = 4;
    static constexpr int kBorderGrip = 2;

    // The row whose lower border is under y (within the grip), or -1.
    int borderRowAt(int y) const
    {
        const int above = m_view->rowAt(y - kBorderGrip);
        if (above < 0)
            return -1;
        const int bottom = m_view->rowViewportPosition(above) + m_view->rowHeight(above);
        return std::abs(y - bottom) <= kBorderGrip ? above : -1;
    }

    Tf_main *m_owner;
    QTableView *m_view;
    int m_sizingRow = -1;
    int m_sizingFromY = 0;
    int m_sizingFromHeight = 0;
};

} // namespace

void Tf_main::buildTable()
{
    // The model exists since the constructor: the exchanges work on it.
    m_table->SetSubnetTest([this](const QString &ip) { return IsInOwnSubnet(ip); });
    QTableView *v = ngrid_machine_list;
    v->setModel(m_table);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setShowGrid(true);
    v->setWordWrap(false);
    v->verticalHeader()->setVisible(false);
    v->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    v->verticalHeader()->setDefaultSectionSize(QFontMetrics(v->font()).height() + 6);
    v->horizontalHeader()->setSectionsClickable(true);
    v->horizontalHeader()->setSortIndicatorShown(true);
    v->horizontalHeader()->setSortIndicator(ColIp, Qt::AscendingOrder);
    v->setSortingEnabled(true);
    const auto &cols = DeviceColumns();
    for (int c = 0; c < kDeviceColumnCount; ++c) {
        v->setColumnWidth(c, cols[static_cast<size_t>(c)].width);
        v->setColumnHidden(c, !cols[static_cast<size_t>(c)].shownAtStart);
    }
    // A large drop resets the model, and a reset loses the view's selection:
    // the selected device is found again by its IP and MAC address.
    connect(m_table, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const int r = SelectedRow();
        m_keepSelected =
            r >= 0 ? std::optional<std::pair<QString, QString>>(std::pair(m_table->Cell(r, ColIp), m_table->Cell(r, ColMac)))
                   : std::nullopt;
    });
    connect(m_table, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_keepSelected)
            return;
        const int r = m_table->FindDeviceRow(m_keepSelected->first, m_keepSelected->second, QString());
        m_keepSelected.reset();
        if (r >= 0)
            SelectRow(r);
    });
    v->viewport()->setMouseTracking(true);
    v->viewport()->installEventFilter(new GridEvents(this, v));
    connect(v, &QTableView::doubleClicked, this,
            [this](const QModelIndex &idx) { ngrid_machine_listCellDblClick(idx.column(), idx.row()); });
}

void Tf_main::buildMenus()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction *mac = PopupMenu1->addAction(QStringLiteral("MAC cím átállítás"));
    mac->setObjectName(QStringLiteral("MACcmtllts1"));
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N1"));
    QAction *web1 = PopupMenu1->addAction(QStringLiteral("Eszköz weboldal megnyitás"));
    web1->setObjectName(QStringLiteral("Weboldalmegnyitsa1"));
    connect(mac, &QAction::triggered, this, &Tf_main::MACcmtllts1Click);
    connect(web1, &QAction::triggered, this, &Tf_main::Weboldalmegnyitsa1Click);

    PopupMenuTavo = new QMenu(this);
    PopupMenuTavo->setObjectName(QStringLiteral("PopupMenuTavo"));
    QAction *settings = PopupMenuTavo->addAction(QStringLiteral("Beállítások"));
    settings->setObjectName(QStringLiteral("Belltsok1"));
    PopupMenuTavo->addSeparator()->setObjectName(QStringLiteral("N2"));
    QAction *web2 = PopupMenuTavo->addAction(QStringLiteral("Eszköz weboldal megnyitás"));
    web2->setObjectName(QStringLiteral("Eszkzweboldalmegnyits1"));
    connect(settings, &QAction::triggered, this, &Tf_main::Belltsok1Click);
    connect(web2, &QAction::triggered, this, &Tf_main::Weboldalmegnyitsa1Click);
}

int Tf_main::SelectedRow() const
{
    // Before the first showing there is no view and nothing selected.
    const QModelIndexList rows = ngrid_machine_list && ngrid_machine_list->selectionModel()
                                     ? ngrid_machine_list->selectionModel()->selectedRows()
                                     : QModelIndexList();
    if (rows.isEmpty())
        return -1;
    const int r = rows.first().row();
    return r < m_table->RowCount() ? r : -1;
}

void Tf_main::SelectRow(int row)
{
    ensurePanes();
    if (row < 0 || row >= m_table->RowCount()) {
        ngrid_machine_list->clearSelection();
        return;
    }
    ngrid_machine_list->selectRow(row);
}

void Tf_main::sbtn_mac_hexClick()
{
    ensurePanes();
    if (m_macHexTag == 1) {
        m_macHexTag = 0;
        ngrid_machine_list->setColumnHidden(ColMacHex, true);
        sbtn_mac_hex->setText(QStringLiteral("MAC cím hexában"));
        sbtn_mac_hex->setChecked(false);
    } else {
        m_macHexTag = 1;
        ngrid_machine_list->setColumnHidden(ColMacHex, false);
        sbtn_mac_hex->setText(QStringLiteral("MAC cím decimális"));
        sbtn_mac_hex->setChecked(true);
    }
}

bool Tf_main::ExportTo(const QString &path, QString *error)
{
    QString err;
    const bool ok = TDeviceTableModel::WriteExportFile(path, m_table->ExportBytes(), &err);
    if (error)
        *error = err;
    return ok;
}

void Tf_main::bbtn_exportClick()
{
    if (m_table->RowCount() == 0)
        return;
    ensurePanes();
    mm_export->setPlainText(m_table->ExportLines().join(QLatin1Char('\n')));
    QString path;
    if (AskExportFileName) {
        path = AskExportFileName();
    } else {
        QFileDialog dlg(this, QString(), QStringLiteral("."), QStringLiteral("Export files (*.csv);;All files (*)"));
        dlg.setObjectName(QStringLiteral("SaveD1"));
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setDefaultSuffix(QStringLiteral("csv"));
        // Replacing an existing file without asking is what the export does.
        dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
        // The program runs Qt's own event loop (net/EventLoop.h), which would
        // not serve a GTK dialog of the desktop's theme.
        dlg.setOption(QFileDialog::DontUseNativeDialog, true);
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            path = dlg.selectedFiles().first();
    }
    if (path.isEmpty())
        return;
    QString error;
    if (!ExportTo(path, &error)) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Ardel"), error, QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
}

void Tf_main::Weboldalmegnyitsa1Click()
{
    const int r = SelectedRow();
    const QString address = r >= 0 ? m_table->Cell(r, ColIp) : QString();
    WriteMessage(QStringLiteral("Web ip: ") + address);
    // Only ever a plain dotted IPv4 address: a cell the network filled must
    // not become an arbitrary URL for the browser.
    if (!IsValidIp(address) || QHostAddress(address).protocol() != QAbstractSocket::IPv4Protocol)
        return;
    if (OpenUrl)
        OpenUrl(QStringLiteral("http://") + address);
}

QMenu *Tf_main::PopupForSelectedRow() const
{
    const int r = SelectedRow();
    if (r < 0)
        return nullptr;
    return m_table->Cell(r, ColTavow).isEmpty() ? PopupMenu1 : PopupMenuTavo;
}

void Tf_main::ngrid_machine_listMouseUp(Qt::MouseButton button, const QPoint &globalPos)
{
    if (button != Qt::RightButton)
        return;
    if (QMenu *menu = PopupForSelectedRow())
        menu->popup(globalPos);
}

void Tf_main::ngrid_machine_listCellDblClick(int column, int row)
{
    Q_UNUSED(column);
    if (row >= 0 && row < m_table->RowCount() && !m_table->Cell(row, ColTavow).isEmpty())
        Belltsok1Click();
}

} // namespace ardel
