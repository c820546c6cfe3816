// The patterns, the error bound and the check on streams built in memory.

#include "linetest/berbound.h"
#include "linetest/checker.h"
#include "linetest/pattern.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

std::vector<uint8_t> Generate(PatternGenerator generator, std::size_t count)
{
    std::vector<uint8_t> bytes(count);
    generator.Fill(bytes.data(), count);
    return bytes;
}

// The leading bytes of each sequence from an all-ones register, bits filling each
// byte from bit 0. PRBS-7 agrees with the published bit sequence 0000001 0000011
// 0000101 ... of x^7 + x^6 + 1; the others come from a separate
// bit-by-bit model of the recurrence.
struct LeadingRow
{
    std::string name;
    PatternKind kind;
    std::vector<uint8_t> leading;
    uint64_t periodBytes;
    // Proper divisors of the period that must not already be periods.
    std::vector<uint64_t> divisors;
};

class PatternLeading : public ::testing::TestWithParam<LeadingRow>
{
};

TEST_P(PatternLeading, StartsWithTheKnownBytes)
{
    const LeadingRow &row = GetParam();
    EXPECT_EQ(Generate(PatternGenerator(row.kind), row.leading.size()), row.leading);
    EXPECT_EQ(PatternGenerator(row.kind).periodBytes(), row.periodBytes);
}

TEST_P(PatternLeading, RepeatsAfterItsPeriodAndNotBefore)
{
    const LeadingRow &row = GetParam();
    if (row.periodBytes > (uint64_t { 1 } << 24)) {
        GTEST_SKIP() << "too long to run through; the leading bytes cover it";
    }
    const auto period = static_cast<std::size_t>(row.periodBytes);
    const std::vector<uint8_t> bytes = Generate(PatternGenerator(row.kind), period + 16);
    EXPECT_TRUE(std::equal(
        bytes.begin(), bytes.begin() + 16, bytes.begin() + static_cast<std::ptrdiff_t>(period)));
    for (uint64_t divisor : row.divisors) {
        EXPECT_FALSE(std::equal(bytes.begin(), bytes.begin() + 16,
            bytes.begin() + static_cast<std::ptrdiff_t>(divisor)))
            << "repeats after " << divisor;
    }
    // A maximal sequence holds 2^(n-1) ones in 2^n - 1 bits: over 2^n - 1 bytes, 8 times that.
    uint64_t ones = 0;
    for (std::size_t i = 0; i < period; ++i) {
        ones += static_cast<uint64_t>(__builtin_popcount(bytes[i]));
    }
    EXPECT_EQ(ones, 8 * ((row.periodBytes + 1) / 2));
}

INSTANTIATE_TEST_SUITE_P(Sequences, PatternLeading,
    ::testing::Values(
        LeadingRow { "counting", PatternKind::Counting, { 0, 1, 2, 3, 4, 5 }, 256, { 128 } },
        LeadingRow { "prbs7", PatternKind::Prbs7,
            { 0x40, 0x30, 0x14, 0x4F, 0x34, 0x57, 0xBE, 0x70, 0x24, 0x5B, 0x7B, 0x63 }, 127, {} },
        LeadingRow { "prbs15", PatternKind::Prbs15,
            { 0x00, 0x40, 0x00, 0x30, 0x00, 0x14, 0x00, 0x0F, 0x40, 0x04, 0x30, 0x03 }, 32767,
            { 7, 31, 151, 217, 1057, 4681 } },
        LeadingRow { "prbs23", PatternKind::Prbs23,
            { 0x00, 0x00, 0x7C, 0x00, 0xF0, 0x3F, 0xC0, 0x07, 0x1F, 0xFF, 0xFF, 0x73 }, 8388607,
            { 47, 178481 } },
        LeadingRow { "prbs31", PatternKind::Prbs31,
            { 0x00, 0x00, 0x00, 0x70, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x70, 0x1C }, 2147483647,
            {} }),
    RowName());

struct BoundRow
{
    std::string name;
    uint64_t errors;
    uint64_t bits;
    double bound;
};

class BerBound : public ::testing::TestWithParam<BoundRow>
{
};

TEST_P(BerBound, MatchesTheWorkedValue)
{
    const BoundRow &row = GetParam();
    const double bound = BerUpperBound(row.errors, row.bits, 0.95);
    EXPECT_NEAR(bound, row.bound, row.bound * 2e-4);
}

// Worked values: -ln(0.05) = 2.99573; chi-square 95 % quantiles from the tables,
// halved: 4 degrees of freedom 9.48773, 6: 12.59159, 22: 33.92444, 42: 58.12404.
INSTANTIATE_TEST_SUITE_P(Worked, BerBound,
    ::testing::Values(BoundRow { "none_in_1e9", 0, 1000000000, 2.995732e-9 },
        BoundRow { "none_in_1_2e9", 0, 1200000000, 2.496443e-9 },
        BoundRow { "one_in_1e6", 1, 1000000, 4.743865e-6 },
        BoundRow { "two_in_1e6", 2, 1000000, 6.295794e-6 },
        BoundRow { "ten_in_1e8", 10, 100000000, 1.696222e-7 },
        BoundRow { "twenty_in_1e8", 20, 100000000, 2.906202e-7 },
        // Past 1000 errors the normal approximation; the value is the exact Poisson bound.
        BoundRow { "large_count", 5000, 1000000000, 5.117886e-6 }),
    RowName());

TEST(BerBoundEdges, NoBitsCheckedBoundsNothing)
{
    EXPECT_EQ(BerUpperBound(0, 0), 1.0);
}

// A stream of `length` pattern bytes with faults done to it, and what the check
// must find.
struct Fault
{
    ByteFault fault;
    uint64_t offset;
    int count; // lost: how many; corrupted: the xor mask; inserted: the byte
};

struct CheckRow
{
    std::string name;
    PatternKind kind;
    std::size_t length;
    std::vector<Fault> faults;
    std::size_t chunk; // the stream arrives in pieces of this size
};

class CheckFaults : public ::testing::TestWithParam<CheckRow>
{
};

TEST_P(CheckFaults, CountsAndPlacesEveryFault)
{
    const CheckRow &row = GetParam();
    const std::vector<uint8_t> clean = Generate(PatternGenerator(row.kind), row.length);
    std::vector<uint8_t> stream;
    std::vector<ErrorPlace> wanted;
    std::size_t next = 0;
    for (uint64_t offset = 0; offset < clean.size(); ++offset) {
        bool keep = true;
        uint8_t byte = clean[offset];
        for (; next < row.faults.size() && row.faults[next].offset == offset; ++next) {
            const Fault &fault = row.faults[next];
            if (fault.fault == ByteFault::Inserted) {
                stream.push_back(static_cast<uint8_t>(fault.count));
                wanted.push_back({ offset, -1, fault.count, ByteFault::Inserted, 0 });
            } else if (fault.fault == ByteFault::Corrupted) {
                byte ^= static_cast<uint8_t>(fault.count);
                wanted.push_back({ offset, clean[offset], byte, ByteFault::Corrupted, 0 });
            } else {
                for (int i = 0; i < fault.count; ++i) {
                    wanted.push_back({ offset + static_cast<uint64_t>(i),
                        clean[offset + static_cast<uint64_t>(i)], -1, ByteFault::Lost, 0 });
                }
                offset += static_cast<uint64_t>(fault.count) - 1;
                keep = false;
            }
        }
        if (keep) {
            stream.push_back(byte);
        }
    }
    PatternChecker checker(PatternGenerator(row.kind), false);
    for (std::size_t at = 0; at < stream.size(); at += row.chunk) {
        checker.Feed(stream.data() + at, std::min(row.chunk, stream.size() - at), at);
    }
    checker.Finish(row.length, 0);

    uint64_t counts[3] = {};
    for (const ErrorPlace &place : wanted) {
        ++counts[static_cast<int>(place.fault)];
    }
    EXPECT_EQ(checker.counts().corrupted, counts[0]);
    EXPECT_EQ(checker.counts().lost, counts[1]);
    EXPECT_EQ(checker.counts().inserted, counts[2]);
    // Only the first places are kept.
    ASSERT_EQ(checker.placeCount(), std::min(wanted.size(), PatternChecker::kMaxPlaces));
    for (std::size_t i = 0; i < checker.placeCount(); ++i) {
        const ErrorPlace &place = checker.places()[i];
        EXPECT_EQ(place.offset, wanted[i].offset) << "error " << i;
        EXPECT_EQ(place.fault, wanted[i].fault) << "error " << i;
        EXPECT_EQ(place.expected, wanted[i].expected) << "error " << i;
        EXPECT_EQ(place.received, wanted[i].received) << "error " << i;
    }
    EXPECT_EQ(checker.counts().checked, row.length);
}

INSTANTIATE_TEST_SUITE_P(Streams, CheckFaults,
    ::testing::Values(CheckRow { "clean", PatternKind::Prbs15, 100000, {}, 4096 },
        CheckRow {
            "one_bit", PatternKind::Prbs7, 5000, { { ByteFault::Corrupted, 1000, 0x08 } }, 4096 },
        CheckRow { "one_lost", PatternKind::Prbs15, 20000, { { ByteFault::Lost, 7000, 1 } }, 512 },
        CheckRow {
            "run_lost", PatternKind::Prbs31, 50000, { { ByteFault::Lost, 9000, 3000 } }, 4096 },
        CheckRow { "one_inserted", PatternKind::Counting, 5000,
            { { ByteFault::Inserted, 300, 0xEE } }, 100 },
        CheckRow { "mixed_close_together", PatternKind::Prbs23, 30000,
            { { ByteFault::Corrupted, 100, 0xFF }, { ByteFault::Lost, 105, 2 },
                { ByteFault::Inserted, 2000, 0x5A }, { ByteFault::Corrupted, 2010, 0x01 },
                { ByteFault::Lost, 25000, 17 } },
            1 },
        CheckRow {
            "lost_at_the_end", PatternKind::Counting, 1000, { { ByteFault::Lost, 990, 10 } }, 64 },
        CheckRow { "corrupt_last_byte", PatternKind::Prbs15, 1000,
            { { ByteFault::Corrupted, 999, 0x80 } }, 64 }),
    RowName());

TEST(CheckAcquire, FindsItsPlaceInAStreamStartedElsewhere)
{
    for (PatternKind kind : { PatternKind::Counting, PatternKind::Prbs7, PatternKind::Prbs15,
             PatternKind::Prbs23, PatternKind::Prbs31 }) {
        std::vector<uint8_t> stream = Generate(PatternGenerator(kind), 20000);
        stream.erase(stream.begin(), stream.begin() + 12345);
        stream[3000] ^= 0x10;
        PatternChecker checker(PatternGenerator(kind), true);
        checker.Feed(stream.data(), stream.size(), 0);
        checker.Finish(0, 0);
        EXPECT_TRUE(checker.synchronised()) << PatternName(kind);
        EXPECT_EQ(checker.counts().checked, stream.size()) << PatternName(kind);
        ASSERT_EQ(checker.placeCount(), 1u) << PatternName(kind);
        EXPECT_EQ(checker.places()[0].offset, 3000u) << PatternName(kind);
    }
}

TEST(CheckAcquire, FileStreamFromTheMiddle)
{
    std::vector<uint8_t> file;
    for (int i = 0; i < 3000; ++i) {
        file.push_back(static_cast<uint8_t>((i * 7919) >> 3));
    }
    PatternGenerator source(file);
    std::vector<uint8_t> stream = Generate(source, 9000);
    stream.erase(stream.begin(), stream.begin() + 1234);
    PatternChecker checker(PatternGenerator(file), true);
    checker.Feed(stream.data(), stream.size(), 0);
    checker.Finish(0, 0);
    EXPECT_EQ(checker.counts().checked, stream.size());
    EXPECT_EQ(checker.counts().errors(), 0u);
}

// Pattern files that are refused without being read, each with its reason.
TEST(PatternFiles, RefusedWithAReason)
{
    const auto folder = std::filesystem::temp_directory_path() / "byteway-pattern-files";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "empty").close();
    std::ofstream(folder / "huge").close();
    std::filesystem::resize_file(folder / "huge", kMaxPatternFileBytes + 1);
#ifdef _WIN32
    const std::string folderReason = "Access denied"; // Windows opens no folder as a file
#else
    const std::string folderReason = "not a regular file";
#endif
    std::vector<std::pair<std::string, std::string>> rows { { folder.string(), folderReason },
        { (folder / "none").string(), "cannot read" }, { (folder / "empty").string(), "is empty" },
        { (folder / "huge").string(), "larger than 1 MiB" } };
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    rows.insert(rows.end(),
        { { (folder / "fifo").string(), "not a regular file" },
            { "/dev/zero", "not a regular file" } });
#endif
    for (const auto &[path, reason] : rows) {
        const Result<PatternGenerator> pattern = PatternFromName("file:" + path);
        ASSERT_FALSE(pattern) << path;
        EXPECT_NE(pattern.status().reason().find(reason), std::string::npos)
            << pattern.status().reason();
    }
    std::filesystem::remove_all(folder);
}

} // namespace
