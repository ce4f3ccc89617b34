// The library scripts in lib/ are tested by golden scripts that cannot reach
// the lib folder (each golden script runs in an empty temporary folder), so
// every tests/scripts/library/NAME_case.vorn starts with a verbatim copy of
// lib/NAME.VORN. This keeps those copies identical to the real files and
// makes sure every library has cases.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {

// The source tree as the build names it: __FILE__ may be relative to
// wherever the compiler ran (a compiler cache rewrites it so).
const fs::path kRoot = fs::path(VORN_SOURCE_DIR);

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(LibraryScripts, EveryTestStartsWithItsLibraryVerbatim) {
    std::map<std::string, int> testsPerLibrary;
    for (const auto& entry : fs::directory_iterator(kRoot / "lib")) {
        if (entry.path().extension() == ".VORN") testsPerLibrary[entry.path().stem().string()] = 0;
    }
    ASSERT_FALSE(testsPerLibrary.empty());

    for (const auto& entry : fs::directory_iterator(kRoot / "tests" / "scripts" / "library")) {
        if (entry.path().extension() != ".vorn") continue;
        const std::string name = entry.path().stem().string();
        const std::string library = name.substr(0, name.find('_'));
        // Cases for other scripts may share the folder; only NAME_ cases
        // of an existing lib/NAME.VORN carry a copy.
        if (!testsPerLibrary.count(library)) continue;
        SCOPED_TRACE(entry.path().filename().string());
        ++testsPerLibrary[library];
        const std::string source = readFile(kRoot / "lib" / (library + ".VORN"));
        const std::string test = readFile(entry.path());
        EXPECT_EQ(test.substr(0, source.size()), source)
            << "the copy of lib/" << library << ".VORN is out of date";
    }
    for (const auto& [library, count] : testsPerLibrary) {
        EXPECT_GT(count, 0) << "lib/" << library << ".VORN has no golden test";
    }
}

// Text and lists both define `contains` (for texts and for lists), so that
// either script alone has it and loading both changes nothing: the two
// definitions must stay the same.
TEST(LibraryScripts, ContainsIsTheSameInTextAndLists) {
    auto definition = [](const std::string& source) {
        const std::size_t from = source.find("\ncontains = {\n");
        const std::size_t to = source.find("\n}\n", from);
        return from == std::string::npos || to == std::string::npos ? std::string() : source.substr(from, to - from);
    };
    const std::string text = definition(readFile(kRoot / "lib" / "text.VORN"));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text, definition(readFile(kRoot / "lib" / "lists.VORN")));
}

}  // namespace
