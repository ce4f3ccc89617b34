// Whole-file writes that never destroy the file they replace, and reads that
// tell a missing file from an unreadable one and give way to Ctrl-C.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "values/Error.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
namespace platform = vorn::platform;

namespace {

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const vorn::ScriptError& error) {
        return error.what();
    }
    return "no error";
}

void writeRaw(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readRaw(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SafeFiles : public ::testing::Test {
protected:
    void SetUp() override {
        static unsigned counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        root_ = fs::temp_directory_path() /
                ("vorn_safe_" + std::to_string(stamp) + "_" + std::to_string(counter++));
        fs::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::string at(const std::string& name) const { return platform::pathToText(root_) + "/" + name; }
    // The names in the folder: a failed write must leave no temporary file.
    std::vector<std::string> names(const std::string& folder = "") const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder.empty() ? root_ : root_ / folder))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    fs::path root_;
};

}  // namespace

TEST_F(SafeFiles, ReplacingAFolderFailsAndLeavesItAlone) {
    fs::create_directory(at("box"));
    writeRaw(at("box/inside.txt"), "kept");
    EXPECT_EQ(errorOf([&] { platform::writeTextFile(at("box"), "x"); }), "cannot write file: " + at("box"));
    EXPECT_EQ(errorOf([&] { platform::writeBinaryFile(at("box"), {1, 2}); }), "cannot write file: " + at("box"));
    EXPECT_EQ(readRaw(at("box/inside.txt")), "kept");
    EXPECT_EQ(names(), std::vector<std::string>{"box"});
}

TEST_F(SafeFiles, MissingReadsEmptyButAFolderIsAnError) {
    EXPECT_EQ(platform::readTextFile(at("missing.txt")), "");
    EXPECT_EQ(platform::readTextFile(at("missing/deeper.txt")), "");
    writeRaw(at("file.txt"), "x");
    EXPECT_EQ(platform::readTextFile(at("file.txt/below")), "");
    EXPECT_TRUE(platform::readSourceLines(at("missing.vorn")).empty());

    fs::create_directory(at("box"));
    EXPECT_EQ(errorOf([&] { platform::readTextFile(at("box")); }), "cannot read file: " + at("box"));
    EXPECT_EQ(errorOf([&] { platform::readSourceLines(at("box")); }), "cannot read file: " + at("box"));
}

#ifndef _WIN32
TEST_F(SafeFiles, ReplacementKeepsModeAndWritesThroughLinks) {
    writeRaw(at("target.txt"), "old");
    fs::permissions(at("target.txt"), fs::perms(0640));
    fs::create_symlink("target.txt", at("link.txt"));
    fs::create_directory(at("sub"));
    fs::create_symlink("../link.txt", at("sub/chain.txt"));

    platform::writeTextFile(at("link.txt"), "through the link");
    EXPECT_TRUE(fs::is_symlink(at("link.txt")));
    EXPECT_EQ(readRaw(at("target.txt")), "through the link");
    platform::writeBinaryFile(at("sub/chain.txt"), {'t', 'w', 'o'});
    EXPECT_TRUE(fs::is_symlink(at("sub/chain.txt")));
    EXPECT_EQ(readRaw(at("target.txt")), "two");
    EXPECT_EQ(fs::status(at("target.txt")).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(names(), (std::vector<std::string>{"link.txt", "sub", "target.txt"}));
    EXPECT_EQ(names("sub"), std::vector<std::string>{"chain.txt"});

    // A link to a file that does not exist yet creates that file.
    fs::create_symlink("made.txt", at("ahead.txt"));
    platform::writeTextFile(at("ahead.txt"), "new");
    EXPECT_TRUE(fs::is_symlink(at("ahead.txt")));
    EXPECT_EQ(readRaw(at("made.txt")), "new");

    // A new file gets what the umask allows, as a plain create would.
    const mode_t mask = umask(022);
    platform::writeTextFile(at("fresh.txt"), "x");
    umask(mask);
    EXPECT_EQ(fs::status(at("fresh.txt")).permissions() & fs::perms::all, fs::perms(0644));

    fs::create_symlink("loop2", at("loop1"));
    fs::create_symlink("loop1", at("loop2"));
    EXPECT_EQ(errorOf([&] { platform::writeTextFile(at("loop1"), "x"); }), "cannot write file: " + at("loop1"));
}

TEST_F(SafeFiles, SizeLimitFailsTheWriteAndKeepsTheOldFile) {
    writeRaw(at("keep.bin"), "the old content");
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    // Without SIGXFSZ ignored the process would end here.
    const std::string text =
        errorOf([&] { platform::writeBinaryFile(at("keep.bin"), std::vector<std::uint8_t>(10000, 'x')); });
    const std::string fresh = errorOf([&] { platform::writeTextFile(at("new.txt"), std::string(10000, 'y')); });
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(text, "cannot write file: " + at("keep.bin"));
    EXPECT_EQ(fresh, "cannot write file: " + at("new.txt"));
    EXPECT_EQ(readRaw(at("keep.bin")), "the old content");
    EXPECT_EQ(names(), std::vector<std::string>{"keep.bin"});
}

TEST_F(SafeFiles, DevicesAreWrittenInPlace) {
    platform::writeTextFile("/dev/null", "nothing");
    struct stat info {};
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(errorOf([] { platform::writeTextFile("/dev/full", "x"); }), "cannot write file: /dev/full");
}

TEST_F(SafeFiles, FifoReadsWaitForTheWriterAndGiveWayToCtrlC) {
    ASSERT_EQ(mkfifo(at("pipe").c_str(), 0600), 0);
    std::thread writer([&] {
        const int fd = open(at("pipe").c_str(), O_WRONLY);
        if (fd < 0) return;
        const std::string text = "from the writer\n";
        EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
    });
    EXPECT_EQ(platform::readTextFile(at("pipe")), "from the writer");
    writer.join();

    // No writer ever comes: only Ctrl-C ends the wait.
    std::thread presser([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        platform::requestInterrupt();
    });
    EXPECT_EQ(errorOf([&] { platform::readTextFile(at("pipe")); }), "interrupted");
    presser.join();
    EXPECT_EQ(platform::gInterruptRequested, 0);
    // The binary read measures first and so never opens a FIFO.
    EXPECT_EQ(errorOf([&] { platform::readBinaryFile(at("pipe")); }).rfind("cannot get file size", 0), 0u);
}
#endif

// The root cannot be tried through the program safely; the check itself can.
TEST_F(SafeFiles, RemovalRefusesTheRootAndWhatHoldsTheCurrentFolder) {
    const fs::path here = fs::current_path();
    EXPECT_TRUE(platform::detail::holdsCurrentFolder(here.root_path()));
    EXPECT_TRUE(platform::detail::holdsCurrentFolder(here));
    EXPECT_TRUE(platform::detail::holdsCurrentFolder(here / ".."));
    EXPECT_TRUE(platform::detail::holdsCurrentFolder(at("anything/..")));
    fs::create_directory(at("box"));
    EXPECT_FALSE(platform::detail::holdsCurrentFolder(at("box")));
    EXPECT_FALSE(platform::detail::holdsCurrentFolder(at("missing")));
}
