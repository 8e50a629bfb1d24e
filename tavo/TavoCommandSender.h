// Sends a list of TAVO commands to one device, one at a time, resending a
// command whose reply does not come within 250 ms.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

namespace ardel {

class TDatagramSender;
class TTAVOProtocol;

struct TSendCommand {
    QByteArray Command; // five-letter word and payload
    int Tag = 0;        // 0 nothing special, 1 device name, 2 owner, 3 device password
};

class TTavoCommandSender : public QObject {
    Q_OBJECT
public:
    using LineSink = std::function<void(const QString &line)>;

    static constexpr int kRetryMs = 250;
    // Sends of one command by start or timeout steps before the list is given up.
    static constexpr int kMaxSends = 3;

    // memo receives the time-stamped log lines; it may be empty.
    explicit TTavoCommandSender(LineSink memo, QObject *parent = nullptr);
    ~TTavoCommandSender() override;

    void SetComms(TDatagramSender *comms) { m_comms = comms; }
    void SetProtocol(TTAVOProtocol *protocol) { m_protocol = protocol; }

    // Called as the last action of every Step; may start a new list.
    std::function<void()> OnStep;

    // Drops the current list (without stopping the timer) and names the device.
    void SetTarget(const QString &ip, quint32 address);
    void ClearList();
    void AddCommand(const QByteArray &command, int tag);

    // Empty texts start the list or take a timeout step; otherwise a reply's
    // source address and command word.
    void Step(const QString &sourceIP, const QString &word);

    int CurrentTag() const;
    bool Finished() const { return m_index >= m_commands.size(); }
    // The list was given up after too many sends without the answer.
    bool GaveUp() const { return m_index > m_commands.size(); }
    int CommandCount() const { return int(m_commands.size()); }
    int ErrorCount() const { return m_errorCount; }
    QString TargetIP() const { return m_targetIP; }
    quint32 TargetAddress() const { return m_targetAddress; }

    QTimer *Timer() const { return m_timer; }

private:
    void TimerTick();
    void SendCurrent(const QString &message);
    void Log(const QString &text) const;

    LineSink m_memo;
    QTimer *m_timer = nullptr;
    TDatagramSender *m_comms = nullptr;
    TTAVOProtocol *m_protocol = nullptr;
    QList<TSendCommand> m_commands;
    qsizetype m_index = 0;
    int m_errorCount = 0;
    quint32 m_targetAddress = 0;
    QString m_targetIP;
};

} // namespace ardel
