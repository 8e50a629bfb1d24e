// The emulator's record of everything it received: one JSON object per line,
// flushed often so that a test can read it while the emulator runs.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>

namespace ardel::devsim {

class Journal : public QObject {
    Q_OBJECT
public:
    explicit Journal(QObject *parent = nullptr);
    ~Journal() override;

    // Empty path: the journal stays off and Add costs nothing.
    bool Open(const QString &path, QString &error);
    bool IsOpen() const { return m_file != nullptr; }

    // entry gets "t_ms" added in front; the line is written within ~50 ms.
    void Add(qint64 tMs, const QJsonObject &entry);
    void Flush();

    // The common fields of a received payload.
    static QJsonObject Entry(const QString &proto, const QString &src, const QString &dst, const QString &iface,
                             const QByteArray &payload);

private:
    std::FILE *m_file = nullptr;
    QByteArray m_buffer;
    QTimer m_timer;
};

} // namespace ardel::devsim
