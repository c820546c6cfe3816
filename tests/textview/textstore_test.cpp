#include "textview/store/textstore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <random>
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

// Where characters start in `text` by the lead-byte rule, the end included.
std::vector<std::size_t> Boundaries(const std::string &text)
{
    std::vector<std::size_t> at;
    std::size_t pos = 0;
    for (; pos < text.size();
         pos += static_cast<unsigned char>(text[pos]) - 0x81U < 0x7EU ? 2 : 1) {
        at.push_back(pos);
    }
    at.push_back(pos);
    return at;
}

void ExpectCharactersAre(const TextStore &store, const std::string &text)
{
    const std::vector<std::size_t> boundaries = Boundaries(text);
    ASSERT_EQ(store.Chars(), boundaries.size() - 1);
    for (std::size_t chars = 0; chars < boundaries.size(); ++chars) {
        ASSERT_EQ(store.CharsBefore(boundaries[chars]), chars) << "at byte " << boundaries[chars];
        ASSERT_EQ(store.ByteOfChar(chars), boundaries[chars]) << "character " << chars;
        if (chars > 0 && boundaries[chars] - boundaries[chars - 1] == 2) {
            EXPECT_FALSE(store.IsCharBoundary(boundaries[chars] - 1));
        }
        EXPECT_TRUE(store.IsCharBoundary(boundaries[chars]));
    }
}

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
    ExpectCharactersAre(store, model.text);
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
        ASSERT_TRUE(
            store.Append("x", Rgb { static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 200 }));
    }
    EXPECT_FALSE(store.Append("y\n", Rgb { 0, 0, 9 }));
    EXPECT_EQ(store.Size(), TextStore::kMaxColors);
    EXPECT_EQ(store.Lines(), 1U);
    EXPECT_TRUE(store.Append("z", Rgb { 3, 0, 200 }));
    EXPECT_EQ(store.RunsIn(store.Size() - 1, store.Size()).front().color, (Rgb { 3, 0, 200 }));
}

// An edit: Replace(from, count, text, color), or with recolor Recolor(from, count, color).
struct Edit
{
    std::size_t from;
    std::size_t count;
    std::string text;
    Rgb color;
    bool recolor = false;
};

void ApplyToModel(Model &model, const Edit &edit)
{
    const std::size_t from = std::min(edit.from, model.text.size());
    const std::size_t count = std::min(edit.count, model.text.size() - from);
    const auto at = static_cast<std::ptrdiff_t>(from);
    if (edit.recolor) {
        std::fill_n(model.colors.begin() + at, count, edit.color);
        return;
    }
    model.text.replace(from, count, edit.text);
    model.colors.erase(
        model.colors.begin() + at, model.colors.begin() + at + static_cast<std::ptrdiff_t>(count));
    model.colors.insert(model.colors.begin() + at, edit.text.size(), edit.color);
}

struct EditCase
{
    const char *name;
    std::size_t chunkSize;
    std::vector<Append> appends;
    std::vector<Edit> edits;
    std::size_t runs; // colour runs over the whole text afterwards
};

class TextStoreEdits : public testing::TestWithParam<EditCase>
{
};

TEST_P(TextStoreEdits, EditsKeepLinesColoursAndCharacters)
{
    TextStore store(GetParam().chunkSize);
    Model model;
    for (const Append &append : GetParam().appends) {
        ASSERT_TRUE(store.Append(append.text, append.color));
        ApplyToModel(model, { model.text.size(), 0, append.text, append.color });
    }
    for (const Edit &edit : GetParam().edits) {
        SCOPED_TRACE(testing::Message() << "edit at " << edit.from << " of " << edit.count);
        ASSERT_TRUE(edit.recolor ? store.Recolor(edit.from, edit.count, edit.color)
                                 : store.Replace(edit.from, edit.count, edit.text, edit.color));
        ApplyToModel(model, edit);
        ExpectStoreIs(store, model);
    }
    EXPECT_EQ(store.RunsIn(0, store.Size()).size(), GetParam().runs);
}

const std::string kHanzi = "\xB0\xA1"; // a double-byte character
const std::string kTrailIsA = "\x81\x41"; // its trail byte reads as 'A' alone

std::vector<Edit> TypedOneByOne(std::size_t at, const std::string &typed)
{
    std::vector<Edit> edits;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        edits.push_back({ at + i, 0, typed.substr(i, 1), Red });
    }
    return edits;
}

INSTANTIATE_TEST_SUITE_P(Rows, TextStoreEdits,
    testing::Values(EditCase { "insert_in_its_own_colour_stays_one_run", 8,
                        { { "abc\ndef\nghi", Red } }, { { 5, 0, "XY\nZ", Red } }, 1 },
        EditCase { "insert_in_another_colour_splits_a_run", 8, { { "abcdef", Red } },
            { { 3, 0, "x", Blue } }, 3 },
        EditCase { "removal_makes_equal_runs_meet_and_merge", 8,
            { { "aaaa", Red }, { "bb\nbb", Blue }, { "cccc", Red } }, { { 4, 5, "", Black } }, 1 },
        EditCase { "removal_across_lines_runs_and_chunks", 8,
            { { "one\ntwo\n", Green }, { "three\nfour\n", Black }, { "five\nsix", Blue } },
            { { 2, 17, "", Black }, { 0, 1, "", Black } }, 2 },
        EditCase { "insert_that_overflows_a_chunk_splits_it", 8, { { "abcdefgh", Black } },
            { { 4, 0, "0123456789\n0123456789", Green } }, 3 },
        EditCase { "typing_at_a_chunk_boundary", 8, { { "abcdefgh12345678", Black } },
            TypedOneByOne(8, "typed\ntext"), 3 },
        EditCase { "double_byte_characters_across_chunk_ends", 5,
            { { "a" + kHanzi + kHanzi + kTrailIsA + "\n" + kHanzi, Black } },
            { { 3, 0, "b" + kHanzi, Red }, { 1, 2, "", Black } }, 3 },
        EditCase { "paste_over_a_selection_of_many_chunks", 8,
            { { "line1\nline2\nline3\nline4\nline5", Black } },
            { { 3, 20, std::string(50, 'p') + "\n" + kHanzi, Blue } }, 3 },
        EditCase { "remove_everything_then_insert", 8, { { "abc\ndefghijk\nl", Black } },
            { { 0, 100, "", Black }, { 0, 0, "new\n", Green } }, 1 },
        EditCase { "recolour_across_chunks_merges_with_neighbours", 8,
            { { "aaaaaaaaaa", Red }, { "bbbbbbbbbb", Blue }, { "cccccccccc", Red } },
            { { 10, 10, "", Red, true }, { 2, 3, "", Green, true } }, 3 },
        EditCase { "edits_at_both_ends", 8, { { "middle", Black } },
            { { 0, 0, "start\n", Red }, { 12, 0, "\nend", Blue }, { 0, 2, "S", Black } }, 4 }),
    [](const testing::TestParamInfo<EditCase> &row) { return std::string(row.param.name); });

// Random edits against the model with chunks small enough that every edit splits,
// merges or crosses them.
TEST(TextStore, RandomEditsMatchThePlainModel)
{
    const std::vector<std::string> pieces { "a", "Bc", "\n", kHanzi, kTrailIsA, "xyz\n\n", "\x80" };
    const std::vector<Rgb> colors { Red, Blue, Black };
    for (const std::size_t chunkSize : { 4, 7, 16 }) {
        SCOPED_TRACE(chunkSize);
        TextStore store(chunkSize);
        Model model;
        std::mt19937 random(static_cast<unsigned>(chunkSize));
        for (int step = 0; step < 400; ++step) {
            std::string text;
            for (std::size_t n = random() % 6; n > 0; --n) {
                text += pieces[random() % pieces.size()];
            }
            const std::vector<std::size_t> boundaries = Boundaries(model.text);
            const std::size_t first = random() % boundaries.size();
            const std::size_t last = std::min(first + random() % 6, boundaries.size() - 1);
            const Edit edit { boundaries[first], boundaries[last] - boundaries[first],
                step % 3 == 0 ? "" : text, colors[random() % colors.size()], step % 7 == 0 };
            SCOPED_TRACE(step);
            ASSERT_TRUE(edit.recolor ? store.Recolor(edit.from, edit.count, edit.color)
                                     : store.Replace(edit.from, edit.count, edit.text, edit.color));
            ApplyToModel(model, edit);
            ExpectStoreIs(store, model);
        }
    }
}

TEST(TextStore, RefusesEditsInsideACharacterAndChangesNothing)
{
    TextStore store(6);
    ASSERT_TRUE(store.Append("a" + kHanzi + "b\n" + kHanzi, Black));
    const std::string before = store.Slice(0, store.Size());
    EXPECT_FALSE(store.Insert(2, "x", Red)) << "between lead and trail";
    EXPECT_FALSE(store.Remove(0, 2)) << "ends after a lead byte";
    EXPECT_FALSE(store.Insert(1, "x\xB0", Red)) << "text ends with a lead byte";
    EXPECT_FALSE(store.Append("\xB0", Red));
    EXPECT_FALSE(store.Insert(store.Size() + 1, "x", Red));
    EXPECT_EQ(store.Slice(0, store.Size()), before);
    EXPECT_EQ(store.RunsIn(0, store.Size()).size(), 1U);
}

// The document's search over characters, kept plainly: a character is one byte or
// a lead byte with its trail, and only single bytes fold.
struct PlainSearch
{
    std::vector<std::string> chars;
    std::vector<std::size_t> at;

    explicit PlainSearch(const std::string &text)
        : at(Boundaries(text))
    {
        for (std::size_t i = 0; i + 1 < at.size(); ++i) {
            chars.push_back(text.substr(at[i], at[i + 1] - at[i]));
        }
    }
    static std::string Folded(std::string c, bool matchCase)
    {
        if (!matchCase && c.size() == 1) {
            c[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(c[0])));
        }
        return c;
    }
    static bool IsWord(const std::string &c)
    {
        return c.size() == 2 ? static_cast<unsigned char>(c[0]) != 0xA1
                             : std::isalnum(static_cast<unsigned char>(c[0])) != 0;
    }
    // Whether a hit of `what` starts at character i, and whether it is a whole word.
    std::pair<bool, bool> HitAt(std::size_t i, const PlainSearch &what, bool matchCase) const
    {
        const std::size_t n = what.chars.size();
        if (i + n > chars.size()) {
            return { false, false };
        }
        for (std::size_t k = 0; k < n; ++k) {
            if (chars[i + k] == "\n"
                || Folded(chars[i + k], matchCase) != Folded(what.chars[k], matchCase)) {
                return { false, false };
            }
        }
        return { true,
            !((i > 0 && IsWord(chars[i - 1])) || (i + n < chars.size() && IsWord(chars[i + n]))) };
    }
};

struct FindCase
{
    const char *name;
    std::size_t chunkSize;
    std::string text;
    std::string what;
    bool matchCase;
    bool wholeWord;
    std::vector<std::size_t> hits; // Find from 0, then from one behind each hit
    std::optional<std::size_t> last; // FindBefore from the end
};

class TextStoreFind : public testing::TestWithParam<FindCase>
{
};

TEST_P(TextStoreFind, FindsAsTheDocumentDoesFromEveryPosition)
{
    const FindCase &row = GetParam();
    TextStore store(row.chunkSize);
    ASSERT_TRUE(store.Append(row.text, Black));
    TextStore::FindOptions options { row.matchCase, row.wholeWord,
        [](std::uint16_t code) { return code >> 8 != 0xA1; } };
    std::vector<std::size_t> hits;
    for (std::optional<std::size_t> hit = store.Find(row.what, 0, options); hit;
         hit = store.Find(row.what, store.ByteOfChar(store.CharsBefore(*hit) + 1), options)) {
        hits.push_back(*hit);
    }
    EXPECT_EQ(hits, row.hits);
    EXPECT_EQ(store.FindBefore(row.what, store.Size(), options), row.last);

    const PlainSearch text(row.text);
    const PlainSearch what(row.what);
    const bool searchable = row.what.find('\n') == std::string::npos;
    for (std::size_t from = 0; from < text.at.size(); ++from) {
        SCOPED_TRACE(testing::Message() << "from character " << from);
        std::optional<std::size_t> forward;
        for (std::size_t i = from; searchable && i < text.chars.size() && !forward;) {
            const auto [hit, whole] = text.HitAt(i, what, row.matchCase);
            if (hit && (whole || !row.wholeWord)) {
                forward = text.at[i];
            }
            i += hit ? what.chars.size() + 1 : 1;
        }
        EXPECT_EQ(store.Find(row.what, text.at[from], options), forward);
        std::optional<std::size_t> backward;
        for (std::size_t i = 0; searchable && i < from; ++i) {
            const auto [hit, whole] = text.HitAt(i, what, row.matchCase);
            if (hit && (whole || !row.wholeWord)) {
                backward = text.at[i];
            }
        }
        EXPECT_EQ(store.FindBefore(row.what, text.at[from], options), backward);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TextStoreFind,
    testing::Values(
        FindCase { "across_a_chunk_boundary", 4, "xxabcxx\nabc", "abc", false, false, { 2, 8 }, 8 },
        FindCase { "case_folds_letters_but_not_trail_bytes", 5, kTrailIsA + "aA", "a", false, false,
            { 2, 3 }, 3 },
        FindCase { "trail_bytes_never_fold", 4, kTrailIsA + "\x81\x61", "\x81\x61", false, false,
            { 2 }, 2 },
        FindCase { "long_runs_without_double_byte_characters", 64,
            std::string(17, 'x') + "Ab" + std::string(9, '@') + "ab\n" + std::string(20, '`')
                + "aB",
            "ab", false, false, { 17, 28, 51 }, 51 },
        FindCase { "match_case", 4, "AB ab\nAb", "ab", true, false, { 3 }, 3 },
        FindCase { "whole_word_goes_on_one_behind_a_hit", 4, "a--", "-", false, true, {}, 2 },
        FindCase { "whole_word_at_a_line_start", 4, "xab\nab", "ab", false, true, { 4 }, 4 },
        FindCase { "whole_word_beside_double_byte_characters", 5,
            kHanzi
                + "ab \xA1\xA1"
                  "ab",
            "ab", false, true, { 7 }, 7 },
        FindCase {
            "never_across_a_line_break", 4, "xa\nb", "a\nb", false, false, {}, std::nullopt },
        FindCase { "at_both_ends", 4, "abXab", "ab", false, false, { 0, 3 }, 3 },
        FindCase { "never_between_two_characters", 5, kHanzi + kHanzi + kHanzi, "\xA1\xB0", false,
            false, {}, std::nullopt },
        FindCase { "double_byte_characters_across_chunks", 5, kHanzi + kHanzi + kHanzi, kHanzi,
            false, false, { 0, 2, 4 }, 4 }),
    [](const testing::TestParamInfo<FindCase> &row) { return std::string(row.param.name); });

} // namespace

// A refusal says why: the caller corrects the position, or tells the user.
struct Refusal
{
    const char *name;
    std::string before;
    std::size_t from;
    std::size_t count;
    std::string text;
    ErrorKind kind;
};

class TextStoreRefusal : public testing::TestWithParam<Refusal>
{
};

TEST_P(TextStoreRefusal, SaysWhyAndChangesNothing)
{
    const Refusal &row = GetParam();
    TextStore store(8);
    ASSERT_TRUE(store.Append(row.before, Colors::Black));
    const Status refused = store.Replace(row.from, row.count, row.text, Colors::Red);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.kind(), row.kind);
    EXPECT_FALSE(refused.reason().empty());
    EXPECT_EQ(store.Slice(0, store.Size()), row.before);
}

INSTANTIATE_TEST_SUITE_P(Rows, TextStoreRefusal,
    testing::Values(
        Refusal { "start_inside_a_character", "a\xD6\xD0z", 2, 0, "x", ErrorKind::Invalid },
        Refusal { "end_inside_a_character", "a\xD6\xD0z", 0, 2, "x", ErrorKind::Invalid },
        Refusal { "text_ends_inside_a_character", "abc", 1, 0, "x\xD6", ErrorKind::Invalid },
        Refusal { "past_the_end", "abc", 4, 0, "x", ErrorKind::Invalid }),
    [](const testing::TestParamInfo<Refusal> &row) { return std::string(row.param.name); });
