#pragma once

#include <cstdint>
#include <string_view>

// Cuts received bytes into lines (each ended by LF, which belongs to it) or frames
// (bytes with no pause of `gapMs` or more between them), for rules that match within
// one of them. A small stand-in for the session view's splitting, behind this
// interface so that it can be replaced by it. One thread.
class RecordSplitter
{
public:
    enum class Mode { None, Lines, Frames };
    static constexpr int64_t kDefaultGapMs = 20;

    explicit RecordSplitter(Mode mode = Mode::None, int64_t gapMs = kDefaultGapMs)
        : m_mode(mode)
        , m_gapMs(gapMs)
    { }

    // Bytes that arrived at `nowMs`: calls `piece(bytes, startsRecord)` for each run
    // of them that lies in one record, `startsRecord` true when a new record begins
    // with it. With Mode::None everything is one record.
    template <class Piece>
    void Split(std::string_view bytes, int64_t nowMs, Piece &&piece)
    {
        bool starts = false;
        if (m_mode == Mode::Frames) {
            starts = m_seen && nowMs - m_lastMs >= m_gapMs;
        } else if (m_mode == Mode::Lines) {
            starts = m_lineEnded;
        }
        m_seen = true;
        m_lastMs = nowMs;
        while (!bytes.empty()) {
            std::size_t length = bytes.size();
            if (m_mode == Mode::Lines) {
                const auto end = bytes.find('\n');
                length = end == std::string_view::npos ? bytes.size() : end + 1;
                m_lineEnded = end != std::string_view::npos;
            }
            piece(bytes.substr(0, length), starts);
            bytes.remove_prefix(length);
            starts = m_mode == Mode::Lines;
        }
    }

    // Forgets the record in progress: the next bytes start a new one.
    void Restart()
    {
        m_seen = false;
        m_lineEnded = true;
    }

private:
    Mode m_mode;
    int64_t m_gapMs;
    bool m_seen = false;
    bool m_lineEnded = false;
    int64_t m_lastMs = 0;
};
