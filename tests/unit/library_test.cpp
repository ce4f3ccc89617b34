// The library scripts in lib/ are tested by golden scripts: the golden
// runner runs each tests/scripts/library/NAME_what.vorn after lib/NAME.VORN
// (tests/run_golden.py). A case whose NAME is no library would run without
// one, so every case must name a library, and every library needs cases.
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

TEST(LibraryScripts, EveryCaseNamesALibraryAndEveryLibraryHasCases) {
    std::map<std::string, int> casesPerLibrary;
    for (const auto& entry : fs::directory_iterator(kRoot / "lib")) {
        if (entry.path().extension() == ".VORN") casesPerLibrary[entry.path().stem().string()] = 0;
    }
    ASSERT_FALSE(casesPerLibrary.empty());

    for (const auto& entry : fs::directory_iterator(kRoot / "tests" / "scripts" / "library")) {
        if (entry.path().extension() != ".vorn") continue;
        const std::string name = entry.path().stem().string();
        const auto library = casesPerLibrary.find(name.substr(0, name.find('_')));
        EXPECT_NE(library, casesPerLibrary.end()) << entry.path().filename().string() << " names no lib/NAME.VORN";
        if (library != casesPerLibrary.end()) ++library->second;
    }
    for (const auto& [library, count] : casesPerLibrary) {
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
