#include "textstore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Append
{
    std::string text;
    Rgb color;
    bool clearFirst = false;
};

struct StoreCase
{
    const char *name;
    std::vector<Append> appends;
    std::size_t runs; // colour runs over the whole text afterwards
};

// The same text kept plainly: every character with its colour.
struct Model
{
    std::string text;
    std::vector<Rgb> colors;
};

// Checks every line, every line's runs and a few ranges across lines against `model`.
void ExpectStoreIs(const TextStore &store, const Model &model)
{
    ASSERT_EQ(store.Size(), model.text.size());
    std::size_t start = 0;
    std::size_t longest = 0;
    for (std::size_t line = 0; line < store.Lines(); ++line) {
        const std::size_t end = std::min(model.text.find('\n', start), model.text.size());
        SCOPED_TRACE(line);
        ASSERT_EQ(store.LineStart(line), start);
        ASSERT_EQ(store.LineLength(line), end - start);
        EXPECT_EQ(store.LineOf(end), line);
        longest = std::max(longest, end - start);
        start = end + 1;
    }
    EXPECT_EQ(start, model.text.size() + 1) << "lines missing";
    EXPECT_EQ(store.LongestLine(), longest);
    const std::size_t size = model.text.size();
    for (const auto &[from, to] : std::vector<std::pair<std::size_t, std::size_t>> {
             { 0, size }, { size / 3, size - size / 3 }, { size - size / 4, size } }) {
        SCOPED_TRACE(testing::Message() << "range " << from << ".." << to);
        EXPECT_EQ(store.Slice(from, to - from), model.text.substr(from, to - from));
        const std::vector<TextStore::Run> runs = store.RunsIn(from, to);
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const std::size_t runEnd = i + 1 < runs.size() ? runs[i + 1].start : to;
            ASSERT_LT(runs[i].start, runEnd);
            EXPECT_TRUE(i == 0 || runs[i].color != runs[i - 1].color);
            for (std::size_t pos = runs[i].start; pos < runEnd; ++pos) {
                ASSERT_EQ(runs[i].color, model.colors[pos]) << "at " << pos;
            }
        }
        EXPECT_EQ(runs.empty() ? to : runs.front().start, from);
    }
}

class TextStoreRows : public testing::TestWithParam<StoreCase>
{
};

TEST_P(TextStoreRows, KeepsLinesAndColoursAcrossAppends)
{
    TextStore store;
    Model model;
    for (const Append &append : GetParam().appends) {
        if (append.clearFirst) {
            store.Clear();
            model = {};
        }
        ASSERT_TRUE(store.Append(append.text, append.color));
        model.text += append.text;
        model.colors.insert(model.colors.end(), append.text.size(), append.color);
    }
    ExpectStoreIs(store, model);
    EXPECT_EQ(store.RunsIn(0, store.Size()).size(), GetParam().runs);
}

using namespace Colors;
const std::string kChunkLess3(TextStore::kChunkSize - 3, 'a');

std::vector<Append> ShortLinesAroundALongOne()
{
    std::vector<Append> appends(20, { "a\n", Black });
    appends.push_back({ std::string(70000, 'y') + "\n", Red });
    appends.insert(appends.end(), 300, { "b\n", Black });
    return appends;
}

INSTANTIATE_TEST_SUITE_P(Rows, TextStoreRows,
    testing::Values(StoreCase { "empty", {}, 0 },
        StoreCase { "batch_boundary_inside_a_line",
            { { "Receiving: ", Green }, { "0x00 0x01 ", Black }, { "0x02", Black },
                { "\nReceiving: ", Green }, { "0x03 ", Black } },
            4 },
        StoreCase { "same_colour_across_batches_is_one_run",
            { { "ab", Red }, { "\n", Red }, { "cd\n", Red } }, 1 },
        StoreCase { "line_breaks_at_both_ends_of_a_batch",
            { { "\n", Red }, { "\nab\n", Blue }, { "", Green }, { "c", Blue } }, 2 },
        StoreCase { "a_batch_across_a_chunk_boundary",
            { { kChunkLess3 + "\nbc", Black }, { "d\ne", Green }, { kChunkLess3, Green } }, 2 },
        StoreCase { "lines_longer_than_a_packed_distance", ShortLinesAroundALongOne(), 3 },
        StoreCase { "cleared_in_the_middle_of_a_line",
            { { "Receiving: ", Green }, { "0x00", Black }, { "0x01 ", Black, true },
                { "\nEnd", Red } },
            2 }),
    [](const testing::TestParamInfo<StoreCase> &row) { return std::string(row.param.name); });

TEST(TextStore, RefusesAColourBeyondItsPaletteAndKeepsItsText)
{
    TextStore store;
    for (std::size_t i = 0; i < TextStore::kMaxColors; ++i) {
        ASSERT_TRUE(store.Append("x", Rgb { static_cast<uint8_t>(i), 1, 2 }));
    }
    EXPECT_FALSE(store.Append("y\n", Rgb { 0, 0, 9 }));
    EXPECT_EQ(store.Size(), TextStore::kMaxColors);
    EXPECT_EQ(store.Lines(), 1U);
    EXPECT_TRUE(store.Append("z", Rgb { 3, 1, 2 }));
    EXPECT_EQ(store.RunsIn(store.Size() - 1, store.Size()).front().color, (Rgb { 3, 1, 2 }));
}

} // namespace
