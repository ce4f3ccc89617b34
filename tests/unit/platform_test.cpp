// Unit tests of the platform layer: files, folders, paths, console and deep stacks.
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "values/Error.h"
#include "values/Limits.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
namespace platform = vorn::platform;
using namespace std::string_literals;

namespace {

// Runs `action` and checks that it throws a ScriptError whose text is
// `operation`, alone or followed by ": " and detail.
template <class Action>
void expectError(Action action, const std::string& operation) {
    try {
        action();
        ADD_FAILURE() << "no error thrown, expected \"" << operation << "\"";
    } catch (const vorn::ScriptError& error) {
        const std::string text = error.what();
        const bool matches = text == operation || text.rfind(operation + ": ", 0) == 0;
        EXPECT_TRUE(matches) << "got \"" << text << "\", expected \"" << operation << "\"";
    }
}

void writeRaw(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readRaw(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh, empty folder per test, removed afterwards. Paths are handed to the
// platform layer as text, the way scripts do.
class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        static unsigned counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        root_ = fs::temp_directory_path() /
                ("vorn_platform_" + std::to_string(stamp) + "_" + std::to_string(counter++));
        fs::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    // The path as script text (UTF-8) of name inside the folder.
    std::string at(const std::string& name) const { return platform::pathToText(root_) + "/" + name; }
    const fs::path& root() const { return root_; }

private:
    fs::path root_;
};

using PlatformFiles = TempFolder;
using PlatformFolders = TempFolder;

// Restores the working directory however a test ends.
struct CurrentDirectoryGuard {
    const fs::path saved = fs::current_path();
    ~CurrentDirectoryGuard() { fs::current_path(saved); }
};

}  // namespace

// ---- Whole files -------------------------------------------------------------
TEST_F(PlatformFiles, ReadTextFileDropsOnlyTheFinalLineEnd) {
    const struct { std::string content, expected; } cases[] = {
        {"a\nb", "a\nb"},   {"a\nb\n", "a\nb"}, {"a\n\n", "a\n"}, {"", ""},
        {"\n", ""},         {"\n\n", "\n"},     {"x", "x"},       {"a\0b\n"s, "a\0b"s},
    };
    for (const auto& item : cases) {
        writeRaw(at("t.txt"), item.content);
        EXPECT_EQ(platform::readTextFile(at("t.txt")), item.expected) << item.content;
    }
    EXPECT_EQ(platform::readTextFile(at("missing.txt")), "");
    EXPECT_EQ(platform::readTextFile(at("no/such/folder/x.txt")), "");
}

TEST_F(PlatformFiles, WriteTextFileWritesExactlyAndTruncates) {
    platform::writeTextFile(at("w.txt"), "first line\nsecond\n");
#ifdef _WIN32
    // Text mode writes each line end the Windows way.
    EXPECT_EQ(readRaw(at("w.txt")), "first line\r\nsecond\r\n");
#else
    EXPECT_EQ(readRaw(at("w.txt")), "first line\nsecond\n");
#endif
    EXPECT_EQ(platform::readTextFile(at("w.txt")), "first line\nsecond");

    platform::writeTextFile(at("w.txt"), "42");
    EXPECT_EQ(readRaw(at("w.txt")), "42");
    platform::writeTextFile(at("w.txt"), "");
    EXPECT_EQ(readRaw(at("w.txt")), "");

    expectError([&] { platform::writeTextFile(at("missing/w.txt"), "x"); }, "cannot write file");
    EXPECT_FALSE(fs::exists(at("missing")));
}

TEST_F(PlatformFiles, ReadBinaryFile) {
    writeRaw(at("empty.bin"), "");
    EXPECT_EQ(platform::readBinaryFile(at("empty.bin")), std::vector<std::uint8_t>{0});

    writeRaw(at("five.bin"), "\x01\x00\xFF\n\r"s);
    EXPECT_EQ(platform::readBinaryFile(at("five.bin")),
              (std::vector<std::uint8_t>{0x01, 0x00, 0xFF, '\n', '\r'}));

    expectError([&] { platform::readBinaryFile(at("missing.bin")); }, "cannot get file size");
    fs::create_directory(at("folder"));
    expectError([&] { platform::readBinaryFile(at("folder")); }, "cannot get file size");
}

TEST_F(PlatformFiles, FilesTooBigForOneValueAreRefusedBeforeReading) {
    // A 3 GiB file that takes no disk space: reading it must not try to
    // fill that much memory first.
    writeRaw(at("huge.bin"), "");
    fs::resize_file(at("huge.bin"), std::uintmax_t(3) << 30);
    expectError([&] { platform::readBinaryFile(at("huge.bin")); }, "cannot allocate memory");

    struct LimitGuard {
        ~LimitGuard() { vorn::Limits::setMaxTextBytes(vorn::kDefaultMaxTextBytes); }
    } guard;
    vorn::Limits::setMaxTextBytes(100);
    writeRaw(at("limit.txt"), std::string(100, 'x') + "\n");
    EXPECT_EQ(platform::readTextFile(at("limit.txt")), std::string(100, 'x'));
    writeRaw(at("over.txt"), std::string(101, 'x'));
    expectError([&] { platform::readTextFile(at("over.txt")); }, "out of memory");
    writeRaw(at("over.txt"), std::string(100000, 'x'));
    expectError([&] { platform::readTextFile(at("over.txt")); }, "out of memory");
}

TEST_F(PlatformFiles, WriteBinaryFileWritesExactBytes) {
    const std::vector<std::uint8_t> bytes{0, 1, '\n', '\r', '\n', 0x1A, 0xFF, 0};
    platform::writeBinaryFile(at("b.bin"), bytes);
    EXPECT_EQ(readRaw(at("b.bin")), std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(platform::readBinaryFile(at("b.bin")), bytes);

    platform::writeBinaryFile(at("b.bin"), {});
    EXPECT_EQ(fs::file_size(at("b.bin")), 0u);

    expectError([&] { platform::writeBinaryFile(at("missing/b.bin"), bytes); }, "cannot write file");
}

TEST_F(PlatformFiles, ReadSourceLinesDropsCarriageReturnOnlyBeforeLineFeed) {
    const struct { std::string content; std::vector<std::string> expected; } cases[] = {
        {"one\r\ntwo\nthree", {"one", "two", "three"}}, {"one\r\ntwo\r\n", {"one", "two"}},
        {"a\r\r\nb\rc\r", {"a\r", "b\rc\r"}}, {"\r\n\n", {"", ""}}, {"", {}},
        {"x\0y\n"s, {"x\0y"s}},
    };
    for (const auto& item : cases) {
        writeRaw(at("s.vorn"), item.content);
        EXPECT_EQ(platform::readSourceLines(at("s.vorn")), item.expected) << item.content;
        // The joined text reads the same lines, each ending in a line feed.
        std::string joined;
        for (const std::string& line : item.expected) joined += line + "\n";
        std::size_t lines = 99;
        EXPECT_EQ(platform::readSourceText(at("s.vorn"), lines), joined) << item.content;
        EXPECT_EQ(lines, item.expected.size()) << item.content;
    }
    EXPECT_TRUE(platform::readSourceLines(at("missing.vorn")).empty());
    std::size_t lines = 99;
    EXPECT_EQ(platform::readSourceText(at("missing.vorn"), lines), "");
    EXPECT_EQ(lines, 0u);
}

// ---- Folders -----------------------------------------------------------------
TEST_F(PlatformFolders, MakeDirectory) {
    platform::makeDirectory(at("lib"));
    EXPECT_TRUE(fs::is_directory(at("lib")));

    writeRaw(at("lib/keep.txt"), "kept");
    platform::makeDirectory(at("lib"));
    EXPECT_EQ(readRaw(at("lib/keep.txt")), "kept");

    expectError([&] { platform::makeDirectory(at("no/parent")); }, "cannot create directory");
    EXPECT_FALSE(fs::exists(at("no")));

    writeRaw(at("plain"), "file");
    expectError([&] { platform::makeDirectory(at("plain")); }, "cannot create directory");
    EXPECT_EQ(readRaw(at("plain")), "file");
}

TEST_F(PlatformFolders, RemoveAll) {
    platform::removeAll(at("missing"));
    platform::removeAll(at("missing/deeper/still"));

    fs::create_directories(at("tree/a/b"));
    writeRaw(at("tree/top.txt"), "1");
    writeRaw(at("tree/a/b/leaf.txt"), "2");
    platform::removeAll(at("tree"));
    EXPECT_FALSE(fs::exists(at("tree")));

    writeRaw(at("single.txt"), "x");
    platform::removeAll(at("single.txt"));
    EXPECT_FALSE(fs::exists(at("single.txt")));
}

TEST_F(PlatformFolders, ListDirectoryGivesBareNames) {
    fs::create_directory(at("dir"));
    EXPECT_TRUE(platform::listDirectory(at("dir")).empty());

    const std::string folderName = "sub gr\xC3\xBCn \xF0\x9F\x98\x80";  // "sub grün 😀"
    writeRaw(at("dir/file.txt"), "x");
    platform::makeDirectory(at("dir/" + folderName));
    std::vector<std::string> names = platform::listDirectory(at("dir"));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"file.txt", folderName}));

    expectError([&] { platform::listDirectory(at("missing")); },
                "directory iterator cannot open directory");
    expectError([&] { platform::listDirectory(at("dir/file.txt")); },
                "directory iterator cannot open directory");
}

TEST_F(PlatformFolders, ExistsAndIsDirectory) {
    fs::create_directory(at("dir"));
    writeRaw(at("file"), "x");
    // A path through a file is simply not there, as is the empty path.
    const struct { std::string path; bool exists, directory; } cases[] = {
        {at("dir"), true, true},        {at("file"), true, false}, {at("missing"), false, false},
        {at("file/inner"), false, false}, {"", false, false},
    };
    for (const auto& item : cases) {
        EXPECT_EQ(platform::exists(item.path), item.exists) << item.path;
        EXPECT_EQ(platform::isDirectory(item.path), item.directory) << item.path;
    }
}

#ifndef _WIN32
TEST_F(PlatformFolders, StatusFollowsLinksAndReportsLoops) {
    fs::create_directory(at("dir"));
    fs::create_directory_symlink(at("dir"), at("link"));
    fs::create_symlink(at("nowhere"), at("dangling"));
    EXPECT_TRUE(platform::isDirectory(at("link")));
    EXPECT_FALSE(platform::exists(at("dangling")));

    fs::create_symlink(at("loop2"), at("loop1"));
    fs::create_symlink(at("loop1"), at("loop2"));
    expectError([&] { platform::exists(at("loop1")); }, "status");
    expectError([&] { platform::isDirectory(at("loop1")); }, "status");

    // Removing a link removes the link, not what it points to.
    writeRaw(at("dir/kept.txt"), "x");
    platform::removeAll(at("link"));
    EXPECT_TRUE(fs::exists(at("dir/kept.txt")));
}
#endif

TEST_F(PlatformFolders, ChangeDirectoryAndBack) {
    const CurrentDirectoryGuard guard;
    fs::create_directory(at("lib"));
    writeRaw(at("lib/inside.txt"), "inside");

    platform::changeDirectory(at("lib"));
    EXPECT_EQ(fs::path(platform::currentDirectory()).filename(), "lib");
    EXPECT_EQ(platform::readTextFile("inside.txt"), "inside");
    platform::changeDirectory("..");
    EXPECT_TRUE(fs::equivalent(platform::currentDirectory(), root()));

    const std::string before = platform::currentDirectory();
    expectError([&] { platform::changeDirectory(at("missing")); }, "cannot set current path");
    writeRaw(at("plain"), "x");
    expectError([&] { platform::changeDirectory(at("plain")); }, "cannot set current path");
    EXPECT_EQ(platform::currentDirectory(), before);
}

// ---- Paths -------------------------------------------------------------------
TEST(PlatformPaths, Utf8AndUtf16ConvertBothWays) {
    const struct { std::string utf8; std::u16string utf16; } cases[] = {
        {"", u""}, {"abc\0d"s, u"abc\0d"s}, {"\xC3\xBC", u"\u00FC"}, {"\xDF\xBF", u"\u07FF"},
        {"\xE2\x82\xAC", u"\u20AC"}, {"\xEF\xBF\xBF", u"\uFFFF"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"}, {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"a\xF0\x90\x80\x80z", u"a\U00010000z"},
    };
    for (const auto& item : cases) {
        EXPECT_EQ(platform::detail::utf8ToUtf16(item.utf8), item.utf16) << item.utf8;
        EXPECT_EQ(platform::detail::utf16ToUtf8(item.utf16), item.utf8) << item.utf8;
    }
}

TEST(PlatformPaths, MalformedTextIsRejected) {
    // Stray continuation bytes, overlong forms, encoded surrogates, code points
    // above U+10FFFF, bytes that never occur, truncated and interrupted sequences.
    const std::string badUtf8[] = {
        "\x80", "a\xBF", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x8F\xBF\xBF",
        "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80", "\xFF", "\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xC3\x28",
        "\xE2\x28\xA1",
    };
    const std::string failure = "Cannot convert character sequence";
    for (const std::string& text : badUtf8) {
        expectError([&] { platform::detail::utf8ToUtf16(text); }, failure);
    }
    const std::u16string badUtf16[] = {u"\xD800"s, u"\xDBFF"s, u"\xDC00"s, u"a\xD800z"s,
                                       u"\xDC00\xD800"s, u"\xD800\xD800"s};
    for (const std::u16string& text : badUtf16) {
        expectError([&] { platform::detail::utf16ToUtf8(text); }, failure);
    }
}

#ifndef _WIN32
TEST(PlatformPaths, PosixPathsAreTheTextsBytes) {
    const std::string bytes = "dir/\xFF\xFE not utf-8/\xC3\xBC";
    EXPECT_EQ(platform::textToPath(bytes).native(), bytes);
    EXPECT_EQ(platform::pathToText(fs::path(bytes)), bytes);
}
#endif

TEST(PlatformPaths, CurrentDirectoryIsAbsolute) {
    const std::string here = platform::currentDirectory();
    EXPECT_TRUE(fs::path(here).is_absolute()) << here;
    EXPECT_TRUE(fs::equivalent(here, fs::current_path()));
}

// ---- Console -----------------------------------------------------------------
#ifndef _WIN32
namespace {

// Sends standard output to a file until destroyed.
struct StdoutToFile {
    const int saved = (std::fflush(stdout), dup(1));
    explicit StdoutToFile(const std::string& path) {
        const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(file, 1);
        close(file);
    }
    ~StdoutToFile() {
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
    }
};

}  // namespace

using PlatformConsole = TempFolder;

TEST_F(PlatformConsole, OutputIsByteExactAndBellIsNotFlushed) {
    std::string afterBell;
    {
        const StdoutToFile out(at("out.txt"));
        platform::writeOut("a\0b\r\n"s);
        platform::writeOut("");
        platform::flushOut();
        platform::writeBell();
        afterBell = readRaw(at("out.txt"));
        platform::flushOut();
    }
    EXPECT_EQ(afterBell, "a\0b\r\n"s);
    EXPECT_EQ(readRaw(at("out.txt")), "a\0b\r\n\a"s);
}

// Standard input can be taken over only once per process: after end of input
// no line is ever read again. So every input case lives in this one test.
TEST_F(PlatformConsole, KeysAndLinesShareOneInput) {
    writeRaw(at("in.txt"), "kline one\nli\0ne\r\n\nlast"s);
    ASSERT_NE(std::freopen(at("in.txt").c_str(), "rb", stdin), nullptr);
    EXPECT_FALSE(platform::stdinIsTerminal());

    std::string key, promptSeen;
    std::vector<std::string> lines(4);
    std::vector<bool> got;
    {
        const StdoutToFile out(at("out.txt"));
        platform::writeOut("? ");
        key = platform::readKey();
        promptSeen = readRaw(at("out.txt"));  // the prompt is out before the read
        for (std::string& line : lines) got.push_back(platform::readLine(line));
    }
    EXPECT_EQ(promptSeen, "? ");
    EXPECT_EQ(key, "k");
    EXPECT_EQ(got, std::vector<bool>(4, true));
    EXPECT_EQ(lines, (std::vector<std::string>{"line one", "li\0ne\r"s, "", "last"}));

    std::string line = "stale";
    EXPECT_FALSE(platform::readLine(line));
    EXPECT_EQ(line, "");
    EXPECT_EQ(platform::readKey(), "");
    EXPECT_FALSE(platform::readLine(line));
}
#endif

// ---- Deep stacks ---------------------------------------------------------------
namespace {

// Each frame hands its own array to the next, so no frame can be folded away.
int descend(int depth, volatile char* parent) {
    volatile char frame[96];
    frame[0] = parent[0];
    if (depth == 0) return 0;
    return 1 + descend(depth - 1, frame);
}

int deepEntry(void* argument) {
    volatile char start[1] = {1};
    return descend(*static_cast<int*>(argument), start);
}

}  // namespace

TEST(PlatformStack, EntryRunsOnADeepStackAndItsOutcomeComesBack) {
    int depth = 200000;  // far beyond an 8 MB main-thread stack
    EXPECT_EQ(platform::runWithLargeStack(std::size_t{128} << 20, deepEntry, &depth), depth);

    int value = 41;
    const auto addOne = [](void* argument) { return *static_cast<int*>(argument) + 1; };
    EXPECT_EQ(platform::runWithLargeStack(std::size_t{1} << 20, addOne, &value), 42);
    // A size below what the system accepts still runs the entry.
    EXPECT_EQ(platform::runWithLargeStack(1, addOne, &value), 42);

    const auto failing = [](void*) -> int { throw vorn::ScriptError("cannot remove all", "x"); };
    expectError([&] { platform::runWithLargeStack(std::size_t{1} << 20, failing, nullptr); },
                "cannot remove all");
}
