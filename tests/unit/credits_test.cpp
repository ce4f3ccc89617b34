// The credits screen: the fixed shape of its art and what the builtin writes.
#include "builtins/BuiltinTable.h"
#include "builtins/Credits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "builtins/Builtins.h"
#include "values/Scope.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::vector<std::string> artLines() {
    const std::string art(vorn::builtins::creditsArt());
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = art.find('\n'); end != std::string::npos; end = art.find('\n', start)) {
        lines.push_back(art.substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(start, art.size()) << "the art must end with a line end";
    return lines;
}

TEST(Credits, ArtHasTheFixedShape) {
    const std::vector<std::string> lines = artLines();
    ASSERT_EQ(lines.size(), 23u);
    const std::string allowed = " .,%@*#(/&";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        SCOPED_TRACE("art line " + std::to_string(i + 1) + ": \"" + line + "\"");
        ASSERT_FALSE(line.empty());
        EXPECT_GE(line.size(), 30u);
        EXPECT_LE(line.size(), 61u);
        EXPECT_GE(line.find_first_not_of(' '), 7u);
        EXPECT_NE(line.back(), ' ');
        EXPECT_EQ(line.find_first_not_of(allowed), std::string::npos);
    }
}

TEST(Credits, TextIsArtFramedByBlankLinesAndTheCredit) {
    const std::string text = vorn::builtins::creditsText();
    const std::string art(vorn::builtins::creditsArt());
    const std::string credit(vorn::builtins::creditsLine());
    EXPECT_EQ(text, "\n\n\n" + art + "\n" + credit + "\n");
    EXPECT_EQ(credit.find('\n'), std::string::npos);
    EXPECT_NE(credit.find("VORN V3"), std::string::npos);
    EXPECT_NE(credit.find("Kelvorast"), std::string::npos);
}

#ifndef _WIN32
// Runs the builtin with standard output sent to a file and returns what it
// wrote.
std::string captureBuiltinOutput(vorn::Value& result) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("vorn_credits_" + std::to_string(::getpid()));
    std::fflush(stdout);
    const int saved = ::dup(1);
    const int target = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(saved, 0);
    EXPECT_GE(target, 0);
    ::dup2(target, 1);
    ::close(target);
    vorn::Interpreter interpreter{vorn::builtinEntries()};
    const vorn::View& view = interpreter.view();
    const vorn::CallBindings none{};
    result = vorn::builtins::werhatdasgemacht(vorn::CallScope(view, none));
    std::fflush(stdout);
    ::dup2(saved, 1);
    ::close(saved);
    std::ifstream in(file, std::ios::binary);
    std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::filesystem::remove(file);
    return written;
}

TEST(Credits, BuiltinWritesTheTextAndReturnsNothing) {
    vorn::Value result = vorn::Value::ofText(std::string("not yet called"));
    EXPECT_EQ(captureBuiltinOutput(result), vorn::builtins::creditsText());
    EXPECT_EQ(result.kind, vorn::Kind::Unspecified);
}
#endif

}  // namespace
