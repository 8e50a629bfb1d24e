// The main window: the device table, the button column, the message pane and
// every flow the buttons and menus start. The flows are split over several
// source files by subsystem (frm_main_*.cpp).
#pragma once

#include "app/core/DeviceTable.h"
#include "app/core/Exchanges.h"
#include "net/IPInfo.h"
#include "tavo/TavoStreamFramer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>

class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTimer;
class QFileDialog;

namespace ardel {

class TUDPComms;
class TTAVOProtocol;
class TTavoCommandSender;
class TDeviceExchanges;
class TNaploComponent;
class Tf_netparam;
class Tf_setip;
class Tf_passw;
class Tf_setMAC;
class Tf_settings;
class TAnchors;

// The dialogs are created after the main window; it reaches them through here.
struct TDialogs {
    Tf_setip *f_setip = nullptr;
    Tf_passw *f_passw = nullptr;
    Tf_setMAC *f_setMAC = nullptr;
    Tf_netparam *f_netparam = nullptr;
    Tf_settings *f_settings = nullptr;
};

class Tf_main : public QMainWindow, public TExchangeHost {
    Q_OBJECT
public:
    // The message pane keeps this many lines; the log file keeps everything.
    static constexpr int kMemoMaxLines = 20000;
    // ... and of each line this many characters.
    static constexpr qsizetype kMemoMaxLineChars = 1024;

    explicit Tf_main(QWidget *parent = nullptr);
    ~Tf_main() override;

    void SetDialogs(const TDialogs &dialogs) { m_dialogs = dialogs; }
    const TDialogs &Dialogs() const { return m_dialogs; }

    // Message operation of every flow: one stamped line in the message pane and
    // one entry in the log file.
    void WriteMessage(const QString &text) override;
    static QString BytesToDecimalText(const QByteArray &bytes);
    void ResetTavoAddresses();

    // Busy indicator shared by every exchange with devices.
    void SetBusy(bool busy) override;
    // Only the indicator's colour: lime while busy, green when not.
    void SetIndicator(bool busy) override;
    bool IsBusy() const;

    // --- start-up and shutdown
    void FormCreate();
    void FormShow();
    void FormClose();
    void bbtn_exitClick();
    void bbtn_testClick();
    void bbtn_refreshClick();

    // --- own network
    void ListOwnAddresses();
    bool IsInOwnSubnet(const QString &ip) const;
    void bbtn_netClick();
    void ServerListRefresh();

    // --- discovery exchange
    void SendCommand(const QString &command, const QString &destination);
    void IdUDPServer1UDPRead(const QByteArray &data, const QString &peerIP, quint16 peerPort);
    void HandlePlainReply(const QString &peerIP, const QByteArray &datagram);
    void UdpTimerTimer();
    void StartRefresh();
    void SendDiscovery();
    void SendVersionRequest();

    // --- device table
    int SelectedRow() const;
    void SelectRow(int row);
    void sbtn_mac_hexClick();
    void bbtn_exportClick();
    // The export without the save dialog (the dialog's answer handed in).
    bool ExportTo(const QString &path, QString *error = nullptr);
    void Weboldalmegnyitsa1Click();
    // Which popup a right click on the selected row opens (nullptr: none).
    QMenu *PopupForSelectedRow() const;
    void ngrid_machine_listMouseUp(Qt::MouseButton button, const QPoint &globalPos);
    void ngrid_machine_listCellDblClick(int column, int row);

    // --- TAVO messages and information polling
    void ProcessTavoPacket(const QString &peerIP, const QByteArray &datagram);
    // A request goes out through every endpoint, so a device reachable from two
    // local addresses answers it twice; the second copy, arriving on another
    // endpoint, would be taken as the answer to the next request.
    bool IsEchoFromAnotherEndpoint(const QString &peerIP, const QByteArray &datagram, const QString &localAddress);
    void bbtn_tavorefreshClick();
    void StartTavoRefresh();
    void BroadcastInfoRequest(bool restart);
    void TavoListerTimerTimer();
    void RequestNextDeviceInfo();
    void StartDeviceInfoList(const QString &ip, const QString &address);
    void OnSenderStep();
    void bbtn_test2Click();

    // --- changing the IP address
    void bbtn_change_ipClick();
    bool SelectedIsTavow() const;
    void ChangeDeviceIP(const QString &password, const QString &newAddress);
    void AskPassword();

    // --- device settings and restart
    void Belltsok1Click();
    void ReadDevicePassword(const QString &ip, const QString &tavowAddress);
    void CheckDevicePassword(const QByteArray &devicePassword);
    void MatchDevicePassword(const QByteArray &devicePassword);
    void ShowSettings();
    void SaveSettings(const QString &ip, const QString &tavowAddress);
    void RestartDevice(const QString &ip, const QString &tavowAddress);

    // --- MAC change over TCP
    void BitBtn1Click();
    void MACcmtllts1Click();
    void ChangeMAC(int row);
    // The MAC change names the device of the connection, then opens it.
    void SetTavoRemoteAddress(const QString &ip) { TavoRemoteAddress = ip; }
    void OpenTavoConnection();
    void TAVOSocket1Connect();
    void SendTavoFrame(const QByteArray &packet);
    void TAVOSocket1Read();
    // The framing of TAVOSocket1Read on one chunk of the stream, without the socket.
    void TAVOSocket1ReadChunk(const QByteArray &chunk);
    void HandleTavoFrame(const QByteArray &frame);
    void TAVOSocket1Error();
    void TcpTimer1Timer();

    QString StatusPanel(int index) const;
    QString MemoText() const;
    QStringList MemoLines() const;
    // No exchange with the devices runs and the buttons are enabled.
    bool IsIdle() const;

    // Platform seams: the save dialog's answer and the desktop's browser
    // (tests give their own, so that no native dialog or browser opens).
    void SetExportFileNameSource(std::function<QString()> source) { AskExportFileName = std::move(source); }
    void SetUrlOpener(std::function<bool(const QString &url)> opener) { OpenUrl = std::move(opener); }

signals:
    // Emitted when an exchange ends and the window becomes idle.
    void idle();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class TMainWindowProbe;

    // --- state the flows share; tests observe it through TMainWindowProbe
    TDeviceTableModel *Table() const { return m_table; }
    TUDPComms *Comms() const { return m_comms.get(); }
    TDeviceExchanges *Exchanges() const { return m_ex; }
    TTAVOProtocol *Codec() const { return TAVOProt1; }
    TNaploComponent *Log() const { return Naplo1; }

    QStringList HostAddresses;
    TOwnSubnet Own;
    // The device of the MAC change.
    QString TavoRemoteAddress;

    // Controls, named as the window's layout names them.
    QWidget *Central = nullptr;
    QFrame *Panel1 = nullptr;
    QTableView *ngrid_machine_list = nullptr;
    QPlainTextEdit *mm_info = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QFrame *pnl_buttons = nullptr;
    QFrame *Panel2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lbl_con = nullptr;
    QPlainTextEdit *mm_export = nullptr;
    QPushButton *bbtn_refresh = nullptr;
    QPushButton *bbtn_change_ip = nullptr;
    QPushButton *bbtn_export = nullptr;
    QPushButton *sbtn_mac_hex = nullptr;
    QPushButton *bbtn_net = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *bbtn_tavorefresh = nullptr;
    QPushButton *bbtn_test = nullptr;
    QPushButton *bbtn_test2 = nullptr;
    QPushButton *bbtn_exit = nullptr;
    QMenu *PopupMenu1 = nullptr;
    QMenu *PopupMenuTavo = nullptr;
    TTAVOProtocol *TAVOProt1 = nullptr;
    TNaploComponent *Naplo1 = nullptr;
    QList<QLabel *> StatusPanels;
    static constexpr int kStatusPanels = 5;
    // The panels' texts, also before the panels are built.
    std::array<QString, kStatusPanels> m_statusTexts;

    // The save dialog's answer.
    std::function<QString()> AskExportFileName;
    // Opens a URL in the desktop's browser.
    std::function<bool(const QString &url)> OpenUrl;

    void buildControls();
    void buildTable();
    // The controls that measure text, built right after the first broadcast
    // (font loading is most of a cold start).
    void buildPanes();
    // At the first showing, or earlier when an operation needs them.
    void ensurePanes();
    void SetStatusPanel(int index, const QString &text);
    void buildMenus();
    // Every line of the message pane goes through here, in order.
    void AppendMemoLine(const QString &line);
    void FlushMemo() const;
    // "Elem: N" when the version request goes out.
    void ShowDeviceCount(int rows);
    // The MAC change's connection has ended; a confirmed write refreshes.
    void MacWriteFinished(bool written);

    TDialogs m_dialogs;
    TDeviceTableModel *m_table = nullptr;
    std::unique_ptr<TUDPComms> m_comms;
    // A child, so that its timers and socket are found by object name.
    TDeviceExchanges *m_ex = nullptr;
    std::unique_ptr<TAnchors> m_anchors;
    bool m_closed = false;
    int m_macHexTag = 0;
    // The selected device (IP, MAC) while the table's model is being reset.
    std::optional<std::pair<QString, QString>> m_keepSelected;
    // Lines of the message pane not yet in the widget: laying out one line at
    // a time (and dropping the oldest one by one at the cap) costs far more
    // than the reply that caused it, so lines go in batches, and not at all
    // while the pane is hidden. Never more than the pane keeps.
    mutable QStringList m_memoPending;
    bool m_memoFlushQueued = false;
    // The indicator flips twice per device in a TAVOW pass; its colour is set
    // at once, but it is painted at most once a frame (see SetIndicator).
    QElapsedTimer m_indicatorPainted;
    QTimer *m_indicatorFrame = nullptr;
};

} // namespace ardel
