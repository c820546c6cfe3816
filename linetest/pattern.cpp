#include "pattern.h"

#include "settings/wholefile.h"

#include <algorithm>
#include <cstring>

namespace {

struct Polynomial
{
    int length;
    int tap;
};

Polynomial PolynomialOf(PatternKind kind)
{
    switch (kind) {
    case PatternKind::Prbs7:
        return { 7, 6 };
    case PatternKind::Prbs15:
        return { 15, 14 };
    case PatternKind::Prbs23:
        return { 23, 18 };
    case PatternKind::Prbs31:
        return { 31, 28 };
    default:
        return { 0, 0 };
    }
}

} // namespace

const char *PatternName(PatternKind kind)
{
    switch (kind) {
    case PatternKind::Counting:
        return "counting";
    case PatternKind::Prbs7:
        return "prbs7";
    case PatternKind::Prbs15:
        return "prbs15";
    case PatternKind::Prbs23:
        return "prbs23";
    case PatternKind::Prbs31:
        return "prbs31";
    case PatternKind::File:
        return "file";
    }
    return "counting";
}

PatternGenerator::PatternGenerator(PatternKind kind)
    : m_kind(kind == PatternKind::File ? PatternKind::Counting : kind)
{
    const Polynomial polynomial = PolynomialOf(m_kind);
    m_length = polynomial.length;
    m_tap = polynomial.tap;
    m_mask = m_length ? (uint64_t { 1 } << m_length) - 1 : 0;
    Reset();
}

PatternGenerator::PatternGenerator(std::vector<uint8_t> fileBytes)
    : m_kind(PatternKind::File)
    , m_file(std::move(fileBytes))
{
    if (m_file.empty()) {
        m_file.push_back(0);
    }
}

uint64_t PatternGenerator::periodBytes() const
{
    switch (m_kind) {
    case PatternKind::Counting:
        return 256;
    case PatternKind::File:
        return m_file.size();
    default:
        return m_mask;
    }
}

void PatternGenerator::Reset()
{
    m_state = m_mask;
    m_position = 0;
}

void PatternGenerator::Fill(uint8_t *out, std::size_t count)
{
    if (m_kind == PatternKind::Counting) {
        for (std::size_t i = 0; i < count; ++i) {
            out[i] = static_cast<uint8_t>(m_position + i);
        }
        m_position = (m_position + count) & 0xFF;
    } else if (m_kind == PatternKind::File) {
        while (count > 0) {
            const std::size_t run = std::min(count, m_file.size() - m_position);
            std::memcpy(out, m_file.data() + m_position, run);
            out += run;
            count -= run;
            m_position = (m_position + run) % m_file.size();
        }
    } else {
        fillPrbs(out, count);
    }
}

void PatternGenerator::fillPrbs(uint8_t *out, std::size_t count)
{
    // Bit k of the sequence is bit k-n xor bit k-m. With the oldest of the last n bits
    // in bit 0 of the state, bit k-n+j is state bit j and bit k-m+j is state bit
    // n-m+j; so the next s bits, for s <= m, depend on the state alone and come out
    // of one xor: three bytes at a time for PRBS-31, two for PRBS-23, one for
    // PRBS-15. PRBS-7 (m = 6) goes bit by bit.
    const int lag = m_length - m_tap;
    uint64_t state = m_state;
    const int step = (m_tap / 8) * 8;
    if (step >= 8) {
        const int stepBytes = step / 8;
        const uint64_t stepMask = (uint64_t { 1 } << step) - 1;
        const int top = m_length - step;
        std::size_t i = 0;
        for (; i + static_cast<std::size_t>(stepBytes) <= count;
             i += static_cast<std::size_t>(stepBytes)) {
            const uint64_t next = (state ^ (state >> lag)) & stepMask;
            for (int b = 0; b < stepBytes; ++b) {
                out[i + static_cast<std::size_t>(b)] = static_cast<uint8_t>(next >> (8 * b));
            }
            state = (state >> step) | (next << top);
        }
        for (; i < count; ++i) {
            const uint64_t next = (state ^ (state >> lag)) & 0xFF;
            out[i] = static_cast<uint8_t>(next);
            state = (state >> 8) | (next << (m_length - 8));
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            unsigned byte = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const uint64_t next = (state ^ (state >> lag)) & 1;
                byte |= static_cast<unsigned>(next) << bit;
                state = (state >> 1) | (next << (m_length - 1));
            }
            out[i] = static_cast<uint8_t>(byte);
        }
    }
    m_state = state;
}

std::size_t PatternGenerator::Acquire(const uint8_t *received, std::size_t size)
{
    if (m_kind == PatternKind::Counting) {
        if (size < 1) {
            return 0;
        }
        m_position = (received[0] + 1u) & 0xFF;
        return 1;
    }
    if (m_kind == PatternKind::File) {
        // The shortest stretch that is likely to be unique: up to 16 bytes.
        const std::size_t probe = std::min<std::size_t>({ size, 16, m_file.size() });
        if (probe == 0) {
            return 0;
        }
        for (std::size_t start = 0; start < m_file.size(); ++start) {
            bool same = true;
            for (std::size_t i = 0; i < probe && same; ++i) {
                same = m_file[(start + i) % m_file.size()] == received[i];
            }
            if (same) {
                m_position = (start + probe) % m_file.size();
                return probe;
            }
        }
        return 0;
    }
    // A shift register's state is its last n bits: the first whole bytes that hold
    // n bits set it.
    const std::size_t bytes = (static_cast<std::size_t>(m_length) + 7) / 8;
    if (size < bytes) {
        return 0;
    }
    uint64_t bits = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        bits |= uint64_t { received[i] } << (8 * i);
    }
    m_state = (bits >> (8 * bytes - static_cast<std::size_t>(m_length))) & m_mask;
    return bytes;
}

Result<PatternGenerator> PatternFromName(const std::string &name)
{
    static const PatternKind kinds[] = { PatternKind::Counting, PatternKind::Prbs7,
        PatternKind::Prbs15, PatternKind::Prbs23, PatternKind::Prbs31 };
    for (PatternKind kind : kinds) {
        if (name == PatternName(kind)) {
            return PatternGenerator(kind);
        }
    }
    if (name.rfind("file:", 0) == 0) {
        const std::string path = name.substr(5);
        // Read by the program's rules for whole files: a FIFO, device or folder is
        // never opened, and a file past the cap is refused rather than read.
        Result<std::string> bytes
            = ReadRegularFile(path, kMaxPatternFileBytes + 1, FileAccess::Read);
        if (!bytes) {
            return Status(bytes.status().kind(),
                "cannot read the pattern file " + path + ": " + bytes.status().reason());
        }
        if (bytes->size() > kMaxPatternFileBytes) {
            return Status(ErrorKind::Invalid,
                "the pattern file " + path + " is larger than "
                    + std::to_string(kMaxPatternFileBytes >> 20) + " MiB");
        }
        if (bytes->empty()) {
            return Status(ErrorKind::Invalid, "the pattern file " + path + " is empty");
        }
        return PatternGenerator(std::vector<uint8_t>(bytes->begin(), bytes->end()));
    }
    return Status(ErrorKind::Invalid,
        "unknown pattern \"" + name + "\" (counting, prbs7, prbs15, prbs23, prbs31 or file:PATH)");
}
