// Finding the name that was probably meant.
#include "exec/NearName.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vorn {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// Edits from a to b (insert, remove, change, swap of neighbours), or more
// than limit when it is beyond it.
std::size_t editDistance(std::string_view a, std::string_view b, std::size_t limit) {
    const std::size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > limit) return limit + 1;
    std::vector<std::size_t> before(m + 1), previous(m + 1), current(m + 1);
    for (std::size_t j = 0; j <= m; ++j) previous[j] = j;
    for (std::size_t i = 1; i <= n; ++i) {
        current[0] = i;
        std::size_t rowBest = current[0];
        for (std::size_t j = 1; j <= m; ++j) {
            const std::size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            std::size_t d = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d = std::min(d, before[j - 2] + 1);
            current[j] = d;
            rowBest = std::min(rowBest, d);
        }
        if (rowBest > limit) return limit + 1;
        before.swap(previous);
        previous.swap(current);
    }
    return previous[m];
}

std::size_t allowedEdits(std::string_view name) {
    if (name.size() <= 2) return 0;
    return name.size() < 6 ? 1 : 2;
}

}  // namespace

std::string closestName(std::string_view unknown, const std::vector<std::string>& candidates) {
    // Rank 0: a case difference; rank 1 + edits otherwise.
    std::size_t bestRank = SIZE_MAX;
    const std::string* best = nullptr;
    const std::size_t limit = allowedEdits(unknown);
    for (const std::string& candidate : candidates) {
        if (candidate == unknown || candidate.empty()) continue;
        std::size_t rank;
        if (sameLetters(candidate, unknown)) rank = 0;
        else if (limit == 0) continue;
        else {
            const std::size_t edits = editDistance(unknown, candidate, limit);
            if (edits > limit) continue;
            rank = 1 + edits;
        }
        if (rank < bestRank || (rank == bestRank && candidate < *best)) {
            bestRank = rank;
            best = &candidate;
        }
    }
    return best ? *best : std::string();
}

std::string nearNameHint(std::string_view unknown, const View& view) {
    // Long tokens are expressions gone wrong, not misspelt names.
    constexpr std::size_t kLongestName = 64;
    if (unknown.empty() || unknown.size() > kLongestName) return "";
    std::vector<std::string> names;
    view.forEachVisible([&](const SymbolRef& name, const ValueRef&) { names.push_back(name->text); });
    const std::string near = closestName(unknown, names);
    return near.empty() ? "" : " (did you mean " + near + "?)";
}

}  // namespace vorn
