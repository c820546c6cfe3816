#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

// A growing list of non-decreasing 32-bit positions (line starts, run starts) in
// about two bytes each: blocks of kBlock entries keep their first value whole and
// the others as 16-bit distances from it. A distance that does not fit (a block
// that spans more than 64 KiB, i.e. long lines) is kept whole on the side.
class PackedIndex
{
public:
    static constexpr std::size_t kBlock = 256;

    void push_back(std::uint32_t value)
    {
        if (m_size % kBlock == 0) {
            m_bases.push_back(value);
        }
        const std::uint32_t distance = value - m_bases.back();
        if (distance < kWhole) {
            m_distances.push_back(static_cast<std::uint16_t>(distance));
        } else {
            m_distances.push_back(kWhole);
            m_whole.emplace(static_cast<std::uint32_t>(m_size), value);
        }
        ++m_size;
    }
    std::uint32_t operator[](std::size_t i) const
    {
        const std::uint16_t distance = m_distances[i];
        return distance == kWhole ? m_whole.at(static_cast<std::uint32_t>(i))
                                  : m_bases[i / kBlock] + distance;
    }
    std::uint32_t back() const { return (*this)[m_size - 1]; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    // The number of values not greater than `value`.
    std::size_t countUpTo(std::uint32_t value) const
    {
        std::size_t low = 0;
        std::size_t high = m_size;
        while (low < high) {
            const std::size_t mid = low + (high - low) / 2;
            if ((*this)[mid] <= value) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        return low;
    }
    void clear()
    {
        std::vector<std::uint32_t>().swap(m_bases);
        std::deque<std::uint16_t>().swap(m_distances);
        std::unordered_map<std::uint32_t, std::uint32_t>().swap(m_whole);
        m_size = 0;
    }
    std::size_t allocatedBytes() const
    {
        return m_bases.capacity() * sizeof(std::uint32_t)
            + m_distances.size() * sizeof(std::uint16_t) + m_whole.size() * 32;
    }

private:
    static constexpr std::uint16_t kWhole = 0xFFFF;

    std::vector<std::uint32_t> m_bases;
    std::deque<std::uint16_t> m_distances;
    std::unordered_map<std::uint32_t, std::uint32_t> m_whole;
    std::size_t m_size = 0;
};
