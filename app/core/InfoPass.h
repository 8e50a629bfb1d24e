// The TAVOW information pass: three "CETEI" broadcasts 250 ms apart (the
// devices answer with their network data, "AETEI"), then, row by row, the
// device name, owner and program version of every device with a TAVOW
// address, through the command sender.
#pragma once

#include "app/core/Exchanges.h"

#include <QObject>
#include <QString>

class QTimer;

namespace ardel {

class TInfoPass : public QObject {
    Q_OBJECT
public:
    static constexpr int kBroadcastGapMs = 250;
    static constexpr int kBroadcasts = 3;

    explicit TInfoPass(TExchangeContext &context, QObject *parent = nullptr);
    ~TInfoPass() override;

    // The whole pass: busy, every row "üres", the broadcasts, then the rows.
    void Start();
    // restart: count the broadcasts from the first again.
    void BroadcastInfoRequest(bool restart);
    void BroadcastGapEnded();
    // Asks the next row with a TAVOW address; ends the pass after the last row.
    void RequestNextDeviceInfo();
    void StartDeviceInfoList(const QString &ip, const QString &address);
    // The command sender took a step.
    void SenderStepped();
    // Only the row-by-row part, over the table as it is.
    void RunOverTable();

    void Reset();
    void Stop();

    bool Running() const { return m_running; }
    int Index() const { return m_index; }
    bool BroadcastGapRunning() const;
    int BroadcastGapInterval() const;

signals:
    // The pass has gone through the table (or found it empty).
    void finished();

private:
    void endPass();

    TExchangeContext &m_context;
    QTimer *m_listerTimer = nullptr;
    int m_broadcastCount = 0;
    int m_index = -1;
    bool m_running = false;
};

} // namespace ardel
