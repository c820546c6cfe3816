#include "devicefaults.h"

#include <algorithm>
#include <charconv>

namespace {

bool ReadNumber(const std::string &text, int64_t low, int64_t high, int64_t &value)
{
    const int base = text.rfind("0x", 0) == 0 ? 16 : 10;
    const char *begin = text.data() + (base == 16 ? 2 : 0);
    const char *end = text.data() + text.size();
    const auto [where, status] = std::from_chars(begin, end, value, base);
    return status == std::errc() && where == end && begin != end && value >= low && value <= high;
}

// "A[:B]": B defaults to `fallback`; without `optional` the B part is required.
bool ReadPair(const std::string &value, int64_t highSecond, int64_t fallback, bool optional,
    int64_t &first, int64_t &second)
{
    const auto colon = value.find(':');
    if (colon == std::string::npos) {
        second = fallback;
        return optional && ReadNumber(value, 0, INT64_MAX, first);
    }
    return ReadNumber(value.substr(0, colon), 0, INT64_MAX, first)
        && ReadNumber(value.substr(colon + 1), 0, highSecond, second);
}

} // namespace

bool IsFaultOption(const std::string &name)
{
    return name == "--corrupt" || name == "--flip" || name == "--drop" || name == "--insert"
        || name == "--pause";
}

Status ParseFaultOption(const std::string &name, const std::string &value, DeviceFaults &faults)
{
    int64_t first = 0, second = 0;
    bool ok = false;
    if (name == "--corrupt") {
        ok = ReadNumber(value, 1, INT64_MAX, faults.corruptEvery);
    } else if (name == "--flip") {
        ok = ReadPair(value, 7, 0, true, first, second);
        faults.flips.push_back({ first, static_cast<int>(second) });
    } else if (name == "--drop") {
        ok = ReadPair(value, INT64_MAX, 1, true, first, second) && second > 0;
        faults.drops.push_back({ first, second });
    } else if (name == "--insert") {
        ok = ReadPair(value, 255, 0xA5, true, first, second);
        faults.inserts.push_back({ first, static_cast<uint8_t>(second) });
    } else if (name == "--pause") {
        ok = ReadPair(value, 60000, 0, false, first, second);
        faults.pauses.push_back({ first, second });
    }
    if (!ok) {
        return { ErrorKind::Invalid, name + ": cannot use \"" + value + "\" (see --help)" };
    }
    return {};
}

const char *FaultUsage()
{
    return "Faults in what it sends (offsets count the bytes it would send, from 0):\n"
           "  --corrupt N        flip bit 0 of every Nth byte\n"
           "  --flip OFF[:BIT]   flip bit BIT (0..7, default 0) of the byte at OFF\n"
           "  --drop OFF[:K]     leave out K bytes (default 1) from OFF on\n"
           "  --insert OFF[:B]   send the extra byte B (default 0xA5) before OFF\n"
           "  --pause OFF:MS     send nothing for MS milliseconds before OFF\n"
           "The fault options may be given more than once.\n";
}

FaultInjector::FaultInjector(const DeviceFaults &faults)
    : m_faults(faults)
{ }

void FaultInjector::Process(const unsigned char *data, std::size_t size, std::string &out)
{
    for (std::size_t i = 0; i < size; ++i, ++m_offset) {
        for (const DeviceFaults::Pause &pause : m_faults.pauses) {
            if (pause.offset == m_offset) {
                m_pauses.push_back({ m_produced, pause.ms });
            }
        }
        for (const DeviceFaults::Insert &insert : m_faults.inserts) {
            if (insert.offset == m_offset) {
                out.push_back(static_cast<char>(insert.byte));
                ++m_produced;
            }
        }
        for (const DeviceFaults::Run &drop : m_faults.drops) {
            if (drop.offset == m_offset) {
                m_dropUntil = std::max(m_dropUntil, drop.offset + drop.count);
            }
        }
        if (m_offset < m_dropUntil) {
            continue;
        }
        unsigned char byte = data[i];
        if (m_faults.corruptEvery > 0 && (m_offset + 1) % m_faults.corruptEvery == 0) {
            byte ^= 1u;
        }
        for (const DeviceFaults::Flip &flip : m_faults.flips) {
            if (flip.offset == m_offset) {
                byte ^= static_cast<unsigned char>(1u << flip.bit);
            }
        }
        out.push_back(static_cast<char>(byte));
        ++m_produced;
    }
}

bool FaultInjector::nextPause(uint64_t &at, int64_t &ms) const
{
    if (m_pauses.empty()) {
        return false;
    }
    at = m_pauses.front().at;
    ms = m_pauses.front().ms;
    return true;
}

void FaultInjector::pauseTaken()
{
    if (!m_pauses.empty()) {
        m_pauses.erase(m_pauses.begin());
    }
}
