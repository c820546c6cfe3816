// The whole-file routines on either platform (this test also runs under Wine).
#include "settings/wholefile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class WholeFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::random_device seed;
        m_root = fs::temp_directory_path() / ("byteway-wholefile-" + std::to_string(seed()));
        fs::create_directories(m_root);
    }
    void TearDown() override
    {
        std::error_code error;
        fs::remove_all(m_root, error);
    }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(m_root)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_root;
};

struct ReadCase
{
    const char *name;
    std::string content;
    std::size_t maxBytes;
    std::string expected;
};

class ReadRegularFileTest : public WholeFileTest, public testing::WithParamInterface<ReadCase>
{
};

TEST_P(ReadRegularFileTest, ReadsAtMostTheLimit)
{
    const ReadCase &row = GetParam();
    const fs::path file = m_root / "in.bin";
    ASSERT_TRUE(ReplaceFileAtomically(file, row.content));
    for (FileAccess access : { FileAccess::Read, FileAccess::ReadWrite }) {
        const Result<std::string> bytes = ReadRegularFile(file, row.maxBytes, access);
        ASSERT_TRUE(bytes) << bytes.status().reason();
        EXPECT_EQ(*bytes, row.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadRegularFileTest,
    testing::Values(ReadCase { "empty", "", 10, "" }, ReadCase { "shorter", "abc", 10, "abc" },
        ReadCase { "exact", "abcd", 4, "abcd" }, ReadCase { "cut", "abcdef", 4, "abcd" },
        ReadCase { "zero_bytes_inside", std::string("a\0b", 3), 10, std::string("a\0b", 3) },
        ReadCase { "large", std::string(300000, 'x'), 1 << 20, std::string(300000, 'x') }),
    [](const testing::TestParamInfo<ReadCase> &row) { return std::string(row.param.name); });

TEST_F(WholeFileTest, FolderAndMissingFileAreNotRead)
{
    const Result<std::string> folder = ReadRegularFile(m_root, 10, FileAccess::Read);
    EXPECT_FALSE(folder);
    EXPECT_FALSE(folder.status().reason().empty());
    const Result<std::string> missing = ReadRegularFile(m_root / "missing", 10, FileAccess::Read);
    EXPECT_FALSE(missing);
    EXPECT_FALSE(missing.status().reason().empty());
}

TEST_F(WholeFileTest, ReplaceWritesExactlyAndLeavesNoTemporaryFile)
{
    const fs::path file = m_root / "out.bin";
    ASSERT_TRUE(ReplaceFileAtomically(file, std::string(5000, 'o')));
    ASSERT_TRUE(ReplaceFileAtomically(file, "new"));
    EXPECT_EQ(ReadAll(file), "new");
    ASSERT_TRUE(ReplaceFileAtomically(file, ""));
    EXPECT_EQ(ReadAll(file), "");
    EXPECT_EQ(entries(), std::vector<std::string> { "out.bin" });
}

TEST_F(WholeFileTest, FolderIsNotReplaced)
{
    fs::create_directories(m_root / "folder");
    const Status replaced = ReplaceFileAtomically(m_root / "folder", "x");
    EXPECT_FALSE(replaced);
    EXPECT_FALSE(replaced.reason().empty());
    EXPECT_TRUE(fs::is_directory(m_root / "folder"));
    EXPECT_EQ(entries(), std::vector<std::string> { "folder" });
}

TEST_F(WholeFileTest, MissingFolderGivesReason)
{
    const Status replaced = ReplaceFileAtomically(m_root / "no" / "such" / "x.bin", "x");
    EXPECT_FALSE(replaced);
    EXPECT_FALSE(replaced.reason().empty());
}

} // namespace
