#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>

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
    fs::path dir = FreshDir("refusals");
    std::ofstream(dir / "plain.txt") << "x";
    const std::string missing = (dir / "missing").string(), plain = (dir / "plain.txt").string();
    const std::pair<const char*, int> cases[] = {
        {nullptr, ENOENT}, {"", ENOENT}, {missing.c_str(), ENOENT}, {plain.c_str(), ENOTDIR}};
    for (const auto& [name, code] : cases) {
        errno = 0;
        EXPECT_EQ(DirectoryReader::opendir(name), nullptr);
        EXPECT_EQ(errno, code) << (name ? name : "(null)");
    }
    errno = 0;
    EXPECT_EQ(DirectoryReader::closedir(nullptr), -1);
    EXPECT_EQ(errno, EBADF);
}

TEST(DirectoryReader, ListsEveryEntryOfARelativeNameWithDotsAndTypesThenStaysAtTheEnd) {
    fs::path dir = FreshDir("listing");
    std::ofstream(dir / "a.cti") << "x";
    std::ofstream(dir / "%s%n.bin") << "x";
    fs::create_directory(dir / "sub.cti");
    // A relative name resolves against the current directory.
    fs::path saved = fs::current_path();
    fs::current_path(dir);
    DirectoryStream* stream = DirectoryReader::opendir(".");
    std::set<std::string> names;
    while (DirectoryEntry* entry = stream ? DirectoryReader::readdir(stream) : nullptr) {
        std::string name(entry->name);
        EXPECT_EQ(entry->nameLength, name.size());
        EXPECT_EQ(entry->recordLength, sizeof(DirectoryEntry));
        EXPECT_EQ(entry->inode + entry->offset, 0);
        const bool isDir = name == "." || name == ".." || name == "sub.cti";
        EXPECT_EQ(entry->type, isDir ? kTypeDirectory : kTypeRegular) << name;
        EXPECT_TRUE(names.insert(name).second) << "listed twice: " << name;
    }
    fs::current_path(saved);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(names, (std::set<std::string>{".", "..", "a.cti", "%s%n.bin", "sub.cti"}));
    EXPECT_EQ(DirectoryReader::readdir(stream), nullptr);
    EXPECT_EQ(DirectoryReader::readdir(stream), nullptr);
    EXPECT_EQ(DirectoryReader::closedir(stream), 0);
}

} // namespace
