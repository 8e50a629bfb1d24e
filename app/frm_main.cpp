#include "app/frm_main.h"

#include "app/Anchors.h"
#include "app/MemoryPlatform.h"
#include "app/core/DeviceExchanges.h"
#include "config/frm_passw.h"
#include "config/frm_setMAC.h"
#include "config/frm_setip.h"
#include "config/frm_settings.h"
#include "log/MessageLog.h"
#include "log/NaploComponent.h"
#include "net/UDPComms.h"
#include "net/ui/frm_netparam.h"
#include "tavo/TAVOProtocol.h"
#include "tavo/TavoCommandSender.h"
#include "tavo/TavoCommands.h"
#include "ui/DeferredIcons.h"
#include "ui/Look.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTcpSocket>
#include <QTextBlock>
#include <QTime>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <limits>

namespace ardel {

namespace {

// Control characters would split one message into several pane lines. A
// line is also cut short: the pane keeps many thousands of lines, and a
// device sending 8 KB datagrams (or a TCP peer streaming bytes) would
// otherwise fill memory with them; the log file keeps every line whole.
QString oneLine(const QString &text)
{
    constexpr qsizetype kMaxChars = Tf_main::kMemoMaxLineChars;
    QString out;
    out.reserve(std::min(text.size(), kMaxChars) + 1);
    for (const QChar c : text) {
        if (out.size() >= kMaxChars) {
            out += QChar(0x2026); // "…": the pane shows only the beginning
            break;
        }
        if (c.unicode() < 32)
            out += QLatin1Char('#') + QString::number(c.unicode());
        else
            out += c;
    }
    return out;
}

// The message pane's place, which the table panel takes over at start-up.
constexpr int kMemoTop = 349;
constexpr int kMemoBottom = 349 + 131;

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, int top, QStyle::StandardPixmap icon,
                        int height = 25)
{
    auto *b = new QPushButton(caption, parent);
    SetIconWhenShown(b, icon);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(8, top, 129, height);
    return b;
}

} // namespace

Tf_main::Tf_main(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("f_main"));
    setWindowTitle(QStringLiteral("Ardel - Kelvara Device Detector v1.24"));
    setFont(UiFont(8, false));
    m_anchors = std::make_unique<TAnchors>();

    TAVOProt1 = new TTAVOProtocol(this);
    TAVOProt1->setObjectName(QStringLiteral("TAVOProt1"));
    wire::SetProgramStartValues(*TAVOProt1);

    // The component starts with its own file name; the window's values are
    // applied after construction, before anything is written.
    Naplo1 = new TNaploComponent(this);
    Naplo1->setObjectName(QStringLiteral("Naplo1"));
    ApplyProgramLogSettings(*Naplo1, QStringLiteral(".\\Ardel.log"));

    // The table is built with the controls below; the exchanges need it first.
    m_table = new TDeviceTableModel(this);
    // The exchanges own the reply window (UdpTimer), the TCP connection
    // (TAVOSocket1, TcpTimer1) and the TAVOW pass's timer (TavoListerTimer).
    m_ex = new TDeviceExchanges(*this, *m_table, *TAVOProt1, this);
    connect(&m_ex->Discovery(), &TDiscoveryExchange::passwordRequired, this, &Tf_main::AskPassword);
    connect(&m_ex->Discovery(), &TDiscoveryExchange::versionRequestSent, this, &Tf_main::ShowDeviceCount);
    connect(&m_ex->TavoMessages(), &TTavoMessages::devicePasswordRead, this, &Tf_main::CheckDevicePassword);
    connect(&m_ex->MacWriter(), &TMacWriter::finished, this, &Tf_main::MacWriteFinished);

    OpenUrl = [](const QString &url) { return QDesktopServices::openUrl(QUrl(url)); };

    buildControls();
    buildMenus();

    resize(1020, 508);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(1028 / 2, 535 / 2));

    FormCreate();
}

Tf_main::~Tf_main()
{
    FormClose();
}

void Tf_main::ensurePanes()
{
    if (!ngrid_machine_list)
        buildPanes();
}

void Tf_main::buildPanes()
{
    // Placed against the table panel's current size, which start-up has
    // already stretched over the hidden message pane.
    const int w = Panel1->width();
    const int h = Panel1->height();
    ngrid_machine_list = new QTableView(Panel1);
    ngrid_machine_list->setObjectName(QStringLiteral("ngrid_machine_list"));
    ngrid_machine_list->setGeometry(8, 8, w - 18, h - 68);
    ngrid_machine_list->setFont(FixedFont(8, false));

    mm_info = new QPlainTextEdit(Panel1);
    mm_info->setObjectName(QStringLiteral("mm_info"));
    mm_info->setGeometry(8, h - 53, w - 18, 49);
    mm_info->setReadOnly(true);
    mm_info->setFrameShape(QFrame::NoFrame);
    mm_info->setLineWrapMode(QPlainTextEdit::NoWrap);
    mm_info->setPlainText(QStringLiteral(
        "Státusz első karakter:  M - nincs engedélyezve a DHCP, I - engedélyezve és aktív, * engedélyezve de még nem kapott "
        "címet\n"
        "Státusz második karakter:  C és világoszöld mező -  a készülék kapcsolatban van az 1001-es porton, * és sötétzöld - "
        "nincs kapcsolat\n"
        "Szürke sor: nem a program alhálózatában van a készülék, router beállítástól függően csak UDP-vel érhető el."));
    {
        QPalette p = mm_info->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        mm_info->setPalette(p);
    }

    m_anchors->Add(ngrid_machine_list, AnchorAll);
    m_anchors->Add(mm_info, AnchorLeft | AnchorRight | AnchorBottom);
    buildTable();
    ngrid_machine_list->show();
    mm_info->show();

    // Both stay hidden: the message pane since start-up, the export pane
    // always (it only holds the export's text).
    Memo1 = new QPlainTextEdit(Central);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, kMemoTop, 851, kMemoBottom - kMemoTop);
    Memo1->setFont(FixedFont(10, true));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setMaximumBlockCount(kMemoMaxLines);
    Memo1->setUndoRedoEnabled(false);
    Memo1->installEventFilter(this);
    Memo1->hide();

    mm_export = new QPlainTextEdit(Central);
    mm_export->setObjectName(QStringLiteral("mm_export"));
    mm_export->setGeometry(152, 352, 665, 65);
    mm_export->hide();

    Label1->adjustSize();
    lbl_con->adjustSize();

    for (AnswerDialog *d : std::initializer_list<AnswerDialog *>{m_dialogs.f_setip, m_dialogs.f_passw, m_dialogs.f_setMAC,
                                                                 m_dialogs.f_netparam, m_dialogs.f_settings})
        if (d)
            d->BuildControls();

    // The panels show what was set before they existed.
    static const int widths[kStatusPanels] = {75, 150, 200, 200, 50};
    statusBar()->setObjectName(QStringLiteral("StatusB1"));
    statusBar()->setFixedHeight(19);
    statusBar()->setSizeGripEnabled(false);
    for (int i = 0; i < kStatusPanels; ++i) {
        auto *panel = new QLabel(statusBar());
        panel->setObjectName(QStringLiteral("StatusB1_%1").arg(i));
        panel->setTextFormat(Qt::PlainText);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setFixedWidth(widths[i]);
        statusBar()->addWidget(panel);
        panel->setText(m_statusTexts[static_cast<size_t>(i)]);
        StatusPanels.append(panel);
    }
    // Shown and laid out now rather than at the next event, so the first
    // paint already has the final layout.
    statusBar()->show();
    layout()->activate();
}

void Tf_main::buildControls()
{
    Central = new QWidget(this);
    Central->setObjectName(QStringLiteral("Central"));
    ApplyNavyBackground(Central);
    setCentralWidget(Central);
    // The layout's coordinates are client coordinates above the 19-pixel status bar.
    Central->resize(1020, 489);

    Panel1 = MakeBevelPanel(Central, 8, 8, 851, 333);
    Panel1->setObjectName(QStringLiteral("Panel1"));

    pnl_buttons = MakeBevelPanel(Central, 868, 8, 145, 472);
    pnl_buttons->setObjectName(QStringLiteral("pnl_buttons"));

    Panel2 = new QFrame(pnl_buttons);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(8, 8, 129, 41);
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Sunken);
    Panel2->setLineWidth(2);
    {
        QPalette p = Panel2->palette();
        p.setColor(QPalette::Window, kIndicatorFrame);
        Panel2->setPalette(p);
        Panel2->setAutoFillBackground(true);
    }
    Label1 = new QLabel(QStringLiteral("Kommunikáció"), Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(UiFont(10, true));
    // Sized from their text after the first broadcast (buildPanes); any
    // explicit size keeps the showing from measuring them before it.
    Label1->setGeometry(16, 15, 0, 0);
    SetTextColour(Label1, Qt::black);
    lbl_con = new QLabel(QStringLiteral("Kommunikáció"), Panel2);
    lbl_con->setObjectName(QStringLiteral("lbl_con"));
    lbl_con->setFont(UiFont(10, true));
    lbl_con->setGeometry(15, 13, 0, 0);
    SetTextColour(lbl_con, kIdleGreen);

    bbtn_refresh = makeButton(pnl_buttons, "bbtn_refresh", QStringLiteral("Frissítés"), 64, QStyle::SP_BrowserReload);
    bbtn_change_ip =
        makeButton(pnl_buttons, "bbtn_change_ip", QStringLiteral("IP cím csere"), 96, QStyle::SP_FileDialogDetailedView);
    bbtn_export = makeButton(pnl_buttons, "bbtn_export", QStringLiteral("Exportálás"), 128, QStyle::SP_DialogSaveButton);
    sbtn_mac_hex =
        makeButton(pnl_buttons, "sbtn_mac_hex", QStringLiteral("MAC cím hexában"), 160, QStyle::SP_FileDialogListView, 22);
    sbtn_mac_hex->setCheckable(true);
    bbtn_net = makeButton(pnl_buttons, "bbtn_net", QStringLiteral("Hálózati beállítás"), 192, QStyle::SP_DriveNetIcon);
    BitBtn1 = makeButton(pnl_buttons, "BitBtn1", QStringLiteral("MAC cím csere"), 224, QStyle::SP_FileDialogInfoView);
    bbtn_tavorefresh =
        makeButton(pnl_buttons, "bbtn_tavorefresh", QStringLiteral("Tavow frissítés"), 288, QStyle::SP_BrowserReload);
    bbtn_test = makeButton(pnl_buttons, "bbtn_test", QStringLiteral("Teszt"), 368, QStyle::SP_MessageBoxQuestion);
    bbtn_test2 = makeButton(pnl_buttons, "bbtn_test2", QStringLiteral("Teszt2"), 400, QStyle::SP_MessageBoxQuestion);
    bbtn_exit = makeButton(pnl_buttons, "bbtn_exit", QStringLiteral("Kilépés"), 439, QStyle::SP_DialogCloseButton);

    connect(bbtn_refresh, &QPushButton::clicked, this, &Tf_main::bbtn_refreshClick);
    connect(bbtn_change_ip, &QPushButton::clicked, this, &Tf_main::bbtn_change_ipClick);
    connect(bbtn_export, &QPushButton::clicked, this, &Tf_main::bbtn_exportClick);
    connect(sbtn_mac_hex, &QPushButton::clicked, this, &Tf_main::sbtn_mac_hexClick);
    connect(bbtn_net, &QPushButton::clicked, this, &Tf_main::bbtn_netClick);
    connect(BitBtn1, &QPushButton::clicked, this, &Tf_main::BitBtn1Click);
    connect(bbtn_tavorefresh, &QPushButton::clicked, this, &Tf_main::bbtn_tavorefreshClick);
    connect(bbtn_test, &QPushButton::clicked, this, &Tf_main::bbtn_testClick);
    connect(bbtn_test2, &QPushButton::clicked, this, &Tf_main::bbtn_test2Click);
    connect(bbtn_exit, &QPushButton::clicked, this, &Tf_main::bbtn_exitClick);

    m_anchors->Add(Panel1, AnchorAll);
    m_anchors->Add(pnl_buttons, AnchorTop | AnchorRight | AnchorBottom);
    m_anchors->Add(bbtn_exit, AnchorLeft | AnchorBottom);
}

void Tf_main::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
    ensurePanes();
    // After FormShow: the first discovery goes out before icons are decoded.
    ApplyDeferredIcons(pnl_buttons);
}

void Tf_main::closeEvent(QCloseEvent *event)
{
    FormClose();
    QMainWindow::closeEvent(event);
}

void Tf_main::FormCreate()
{
    bbtn_test->hide();
    bbtn_test2->hide();
    // The table panel takes over the message pane's area.
    Panel1->resize(Panel1->width(), kMemoBottom - Panel1->y());
    m_anchors->Rebase(Panel1);

    m_ex->Discovery().Reset();
    m_memoPending.clear();

    HostAddresses = GetHostAddresses();
    WriteMessage(QStringLiteral("Saját IP címek"));
    for (const QString &a : std::as_const(HostAddresses))
        WriteMessage(a);

    ListOwnAddresses();

    SetStatusPanel(1, QStringLiteral("IP: ") + HostAddresses.value(0));
    SetStatusPanel(2, QStringLiteral("Maszk: ") + Own.OwnMaskText);

    m_ex->MacWriter().Reset();
    m_ex->InfoPass().Reset();
}

void Tf_main::FormShow()
{
    if (m_closed)
        return;
    if (!m_comms) {
        m_comms = std::make_unique<TUDPComms>([this](const QString &line) { AppendMemoLine(oneLine(line)); });
        if (m_dialogs.f_netparam) {
            m_comms->SetCheckBoxParent(m_dialogs.f_netparam);
            m_comms->SetTemplateCheckBox(m_dialogs.f_netparam->TemplateGeometry());
        }
        m_comms->SetOnMessage([this](const QString &text) { WriteMessage(text); });
        try {
            m_comms->ReadConnections();
        } catch (const EOSError &e) {
            // No connection to offer: start-up goes on with none open.
            WriteMessage(e.Message());
        }
        m_comms->BuildCheckBoxes();
        // The command sender's lines go to the message pane only.
        m_ex->AttachComms(m_comms.get(), [this](const QString &line) { AppendMemoLine(oneLine(line)); });
        m_comms->CheckConnection(255);
        ServerListRefresh();
    }
    bbtn_refreshClick();
}

void Tf_main::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    m_ex->DetachComms();
    m_comms.reset();
    HostAddresses.clear();
}

void Tf_main::bbtn_exitClick()
{
    close();
}

void Tf_main::bbtn_testClick()
{
    if (m_dialogs.f_settings)
        m_dialogs.f_settings->exec();
}

void Tf_main::bbtn_refreshClick()
{
    StartRefresh();
}

void Tf_main::WriteMessage(const QString &text)
{
    const TClockStamp now = CurrentClockStamp();
    AppendMemoLine(PaneStamp(now) + oneLine(text));
    WriteMessageLine(*Naplo1, now, text);
}

QString Tf_main::BytesToDecimalText(const QByteArray &bytes)
{
    return ardel::BytesToDecimalText(bytes);
}

bool Tf_main::IsIdle() const
{
    return !IsBusy() && m_ex->IsIdle();
}

void Tf_main::ResetTavoAddresses()
{
    wire::ResetAddresses(*TAVOProt1);
}

void Tf_main::SetIndicator(bool busy)
{
    // The command sender reports every step of a pass; a new palette only
    // when the colour changes.
    const QColor colour = busy ? kBusyLime : kIdleGreen;
    if (lbl_con->palette().color(QPalette::WindowText) == colour)
        return;
    // The label takes its colour at once. Painting it cost more than the
    // TAVOW request that flipped it (a 2,000-device pass flips it 4,000
    // times in about a second), so within a frame of the last painting the
    // label waits for the end of that frame, and shows the latest colour then.
    constexpr int kFrameMs = 16;
    if (m_indicatorPainted.isValid() && m_indicatorPainted.elapsed() < kFrameMs) {
        lbl_con->setUpdatesEnabled(false);
        SetTextColour(lbl_con, colour);
        if (!m_indicatorFrame) {
            m_indicatorFrame = new QTimer(this);
            m_indicatorFrame->setSingleShot(true);
            connect(m_indicatorFrame, &QTimer::timeout, this, [this] {
                lbl_con->setUpdatesEnabled(true);
                // Now, before the next flip can hold the painting back again.
                lbl_con->repaint();
                m_indicatorPainted.start();
            });
        }
        if (!m_indicatorFrame->isActive())
            m_indicatorFrame->start(int(kFrameMs - m_indicatorPainted.elapsed()));
        return;
    }
    SetTextColour(lbl_con, colour);
    m_indicatorPainted.start();
}

void Tf_main::SetBusy(bool busy)
{
    SetIndicator(busy);
    pnl_buttons->setEnabled(!busy);
    if (!busy) {
        // An exchange has ended: what its datagrams, lines and rows took and
        // no longer use goes back, so that a long session keeps a level.
        ReturnFreedMemory();
        emit idle();
    }
}

bool Tf_main::IsBusy() const
{
    return !pnl_buttons->isEnabled();
}

QString Tf_main::StatusPanel(int index) const
{
    return index >= 0 && index < kStatusPanels ? m_statusTexts[static_cast<size_t>(index)] : QString();
}

void Tf_main::SetStatusPanel(int index, const QString &text)
{
    m_statusTexts[static_cast<size_t>(index)] = text;
    if (index < StatusPanels.size())
        StatusPanels[index]->setText(text);
}

void Tf_main::AppendMemoLine(const QString &line)
{
    m_memoPending.append(line);
    if (m_memoPending.size() > kMemoMaxLines)
        m_memoPending.removeFirst();
    if (!m_memoFlushQueued && Memo1 && Memo1->isVisible()) {
        m_memoFlushQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_memoFlushQueued = false;
            FlushMemo();
        });
    }
}

void Tf_main::FlushMemo() const
{
    if (m_memoPending.isEmpty() || !Memo1)
        return;
    // One paragraph per line (no line holds a control character); the pane
    // drops its oldest lines beyond kMemoMaxLines in the same edit.
    const QString text = m_memoPending.join(QLatin1Char('\n'));
    m_memoPending.clear();
    Memo1->appendPlainText(text);
}

bool Tf_main::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Memo1 && event->type() == QEvent::Show)
        FlushMemo();
    return QMainWindow::eventFilter(watched, event);
}

QString Tf_main::MemoText() const
{
    FlushMemo();
    if (!Memo1)
        return m_memoPending.join(QLatin1Char('\n'));
    return Memo1->toPlainText();
}

QStringList Tf_main::MemoLines() const
{
    FlushMemo();
    if (!Memo1)
        return m_memoPending;
    QStringList out;
    for (QTextBlock b = Memo1->document()->begin(); b.isValid(); b = b.next())
        out.append(b.text());
    if (!out.isEmpty() && out.last().isEmpty() && Memo1->document()->blockCount() == 1)
        out.clear();
    return out;
}

void Tf_main::ListOwnAddresses()
{
    try {
        const TIPInfo info;
        ardel::ListOwnAddresses(
            info, HostAddresses, [this](const QString &t) { WriteMessage(t); }, Own);
    } catch (const EOSError &e) {
        // The report ends here; the own subnet stays 0.0.0.0/0.0.0.0, so every
        // device counts as local.
        WriteMessage(e.Message());
    }
}

bool Tf_main::IsInOwnSubnet(const QString &ip) const
{
    return ardel::IsInOwnSubnet(ip, Own);
}

void Tf_main::bbtn_netClick()
{
    if (!m_comms || !m_dialogs.f_netparam)
        return;
    m_comms->MarkOpenConnections();
    m_dialogs.f_netparam->exec();
    if (m_dialogs.f_netparam->Answer() == Tf_netparam::AnswerOk)
        ServerListRefresh();
}

void Tf_main::ServerListRefresh()
{
    if (!m_comms)
        return;
    m_comms->OpenServers();
    SetStatusPanel(3, QStringLiteral("Hálózati csatlakozások: ") + QString::number(m_comms->CheckedCount()));
}

} // namespace ardel
