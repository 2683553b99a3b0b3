#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/DirectoryReader.h"

namespace fs = std::filesystem;

namespace {

fs::path FreshDir(const std::string& name) {
    fs::path dir = fs::current_path() / "platform-scratch" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(DirectoryReader, RefusesWhatIsNoDirectoryWithTheRightErrno) {
    errno = 0;
    EXPECT_EQ(DirectoryReader::opendir(nullptr), nullptr);
    EXPECT_EQ(errno, ENOENT);
    errno = 0;
    EXPECT_EQ(DirectoryReader::opendir(""), nullptr);
    EXPECT_EQ(errno, ENOENT);

    fs::path dir = FreshDir("refusals");
    errno = 0;
    EXPECT_EQ(DirectoryReader::opendir((dir / "missing").string().c_str()), nullptr);
    EXPECT_EQ(errno, ENOENT);

    std::ofstream(dir / "plain.txt") << "x";
    errno = 0;
    EXPECT_EQ(DirectoryReader::opendir((dir / "plain.txt").string().c_str()), nullptr);
    EXPECT_EQ(errno, ENOTDIR);

    errno = 0;
    EXPECT_EQ(DirectoryReader::closedir(nullptr), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST(DirectoryReader, ListsEveryEntryWithDotsAndTypesThenStaysAtTheEnd) {
    fs::path dir = FreshDir("listing");
    std::ofstream(dir / "a.cti") << "x";
    std::ofstream(dir / "%s%n.bin") << "x";
    fs::create_directory(dir / "sub.cti");

    DirectoryStream* stream = DirectoryReader::opendir(dir.string().c_str());
    ASSERT_NE(stream, nullptr);
    std::set<std::string> names;
    while (DirectoryEntry* entry = DirectoryReader::readdir(stream)) {
        std::string name(entry->name);
        EXPECT_EQ(entry->nameLength, name.size());
        EXPECT_EQ(entry->recordLength, sizeof(DirectoryEntry));
        EXPECT_EQ(entry->inode, 0);
        EXPECT_EQ(entry->offset, 0);
        const bool isDir = name == "." || name == ".." || name == "sub.cti";
        EXPECT_EQ(entry->type, isDir ? kTypeDirectory : kTypeRegular) << name;
        EXPECT_TRUE(names.insert(name).second) << "listed twice: " << name;
    }
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "a.cti", "%s%n.bin", "sub.cti"}));
    EXPECT_EQ(DirectoryReader::readdir(stream), nullptr);
    EXPECT_EQ(DirectoryReader::readdir(stream), nullptr);
    EXPECT_EQ(DirectoryReader::closedir(stream), 0);
}

TEST(DirectoryReader, RelativeNamesResolveAgainstTheCurrentDirectory) {
    fs::path dir = FreshDir("relative");
    std::ofstream(dir / "only.bin") << "x";
    fs::path saved = fs::current_path();
    fs::current_path(dir);
    DirectoryStream* stream = DirectoryReader::opendir(".");
    fs::current_path(saved);
    ASSERT_NE(stream, nullptr);
    bool seen = false;
    while (DirectoryEntry* entry = DirectoryReader::readdir(stream))
        seen = seen || std::string(entry->name) == "only.bin";
    EXPECT_TRUE(seen);
    DirectoryReader::closedir(stream);
}

} // namespace
