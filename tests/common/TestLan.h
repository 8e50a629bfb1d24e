// Helpers for tests that run on the private virtual LAN of scripts/netns-run.sh:
// the test process is in the workstation namespace (ws0 10.77.0.1/16,
// ws1 10.78.0.1/16); the device emulator runs in the device namespace, where
// 10.77.128.0/17, 10.78.128.0/17 and 10.99.0.0/16 are local addresses.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace testlan {

inline constexpr const char *kWsAddr0 = "10.77.0.1";
inline constexpr const char *kWsAddr1 = "10.78.0.1";

// Name of the device namespace (empty when the test runs outside the LAN).
QString deviceNamespace();

// Keeps the event loop running until pred() is true or timeoutMs passed.
bool pumpUntil(const std::function<bool()> &pred, int timeoutMs);
// Keeps the event loop running for ms milliseconds.
void pumpFor(int ms);

// One datagram or TCP chunk the emulator received, as its journal records it.
struct JournalEntry {
    qint64 timeMs = 0; // milliseconds since the emulator started
    QString proto;     // "udp" or "tcp"
    QString src;       // "a.b.c.d:port"
    QString dst;       // "a.b.c.d:port"
    QString iface;     // receiving interface, when known
    QByteArray bytes;  // payload
    QString word;      // decoded TAVO command word, when the payload is a packet
    QByteArray data;   // decoded TAVO command bytes
    QJsonObject raw;   // the whole journal line
};

// The device emulator running in the device namespace.
class Devsim {
public:
    Devsim();
    ~Devsim();
    Devsim(const Devsim &) = delete;
    Devsim &operator=(const Devsim &) = delete;

    // Writes the config, starts the emulator and waits for its "ready" line.
    bool start(const QJsonObject &config, const QStringList &extraArgs = {});
    void stop();
    QList<JournalEntry> journal() const;
    // Lines the emulator printed on stdout/stderr so far, for diagnostics.
    QString output() const;
    QString journalPath() const { return m_journal; }
    QString configPath() const { return m_config; }

private:
    std::unique_ptr<QProcess> m_proc;
    QString m_dir;
    QString m_config;
    QString m_journal;
    mutable QString m_output;
};

} // namespace testlan
