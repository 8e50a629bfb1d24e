// One progress line on stderr while a command runs, only when stderr is a
// terminal: the phase, the devices found so far, the plan row.
#pragma once

#include <QString>

#include <cstdio>

namespace ardel::cli {

class TProgress {
public:
    // shown: false when the stream is not a terminal (a script's log).
    TProgress(std::FILE *stream, bool shown) : m_stream(stream), m_shown(shown) {}
    ~TProgress() { Clear(); }

    void Show(const QString &text)
    {
        if (!m_shown)
            return;
        std::fprintf(m_stream, "\r\033[K%s", text.toLocal8Bit().constData());
        std::fflush(m_stream);
        m_dirty = true;
    }
    void Clear()
    {
        if (!m_shown || !m_dirty)
            return;
        std::fprintf(m_stream, "\r\033[K");
        std::fflush(m_stream);
        m_dirty = false;
    }

private:
    std::FILE *m_stream;
    bool m_shown;
    bool m_dirty = false;
};

} // namespace ardel::cli
