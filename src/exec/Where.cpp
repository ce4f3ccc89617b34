// The texts a session ran, and the report of where an error happened.
#include "exec/Where.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "check/Walker.h"
#include "exec/Interpreter.h"

namespace vorn {

struct RecordedTexts {
    struct Recorded {
        std::string name;
        std::string text;
    };
    std::vector<Recorded> files;       // oldest first
    std::deque<std::string> entries;  // lines typed at the prompt, oldest first
};

void DropRecordedTexts::operator()(RecordedTexts* texts) const { delete texts; }
std::unique_ptr<RecordedTexts, DropRecordedTexts> makeRecordedTexts() {
    return std::unique_ptr<RecordedTexts, DropRecordedTexts>(new RecordedTexts);
}

namespace {

// Texts longer than these are not kept: a function in them is reported
// without its place rather than doubling the memory a huge text takes.
constexpr std::size_t kLongestKeptFile = std::size_t(64) << 20;
constexpr std::size_t kLongestKeptEntry = std::size_t(1) << 20;
constexpr std::size_t kKeptEntries = 64;

std::uint32_t linesBefore(std::string_view text, std::size_t offset) {
    return static_cast<std::uint32_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

struct Place {
    enum class Kind : std::uint8_t { File, Prompt, Exec, Unknown } kind = Kind::Unknown;
    std::string file;
    std::uint32_t line = 0;  // from 1
    bool severalLines = false;

    bool named() const { return kind == Kind::File || kind == Kind::Prompt; }
    friend bool operator==(const Place& a, const Place& b) {
        return a.kind == b.kind && a.line == b.line && a.file == b.file && a.severalLines == b.severalLines;
    }
};

// Where a function body (braces included) was written: the newest file or
// prompt line that holds its text.
Place placeOfBody(const RecordedTexts& texts, const Text& body, std::uint32_t line) {
    const std::string_view text = body.view();
    Place place;
    place.line = line + 1;
    place.severalLines = text.find('\n') != std::string_view::npos;
    if (text.empty()) return place;
    for (auto file = texts.files.rbegin(); file != texts.files.rend(); ++file) {
        const std::size_t at = file->text.find(text);
        if (at == std::string::npos) continue;
        place.kind = Place::Kind::File;
        place.file = file->name;
        place.line = linesBefore(file->text, at) + line + 1;
        return place;
    }
    for (auto entry = texts.entries.rbegin(); entry != texts.entries.rend(); ++entry) {
        const std::size_t at = entry->find(text);
        if (at == std::string::npos) continue;
        place.kind = Place::Kind::Prompt;
        place.line = linesBefore(*entry, at) + line + 1;
        place.severalLines = entry->find('\n') != std::string::npos;
        return place;
    }
    return place;
}

Place placeOf(const RecordedTexts& texts, const ErrorTrail::Frame& frame) {
    Place place;
    place.line = frame.line + 1;
    switch (frame.way) {
        case ErrorTrail::Way::File:
            place.kind = Place::Kind::File;
            place.file = frame.name;
            return place;
        case ErrorTrail::Way::Prompt:
            place.kind = Place::Kind::Prompt;
            place.severalLines = frame.text.view().find('\n') != std::string_view::npos;
            return place;
        case ErrorTrail::Way::Exec:
            place.kind = Place::Kind::Exec;
            place.severalLines = frame.text.view().find('\n') != std::string_view::npos;
            return place;
        case ErrorTrail::Way::Call: return placeOfBody(texts, frame.text, frame.line);
    }
    return place;
}

// How the text of a frame was entered from the place outside it.
std::string linkOf(const ErrorTrail::Frame& frame) {
    switch (frame.way) {
        case ErrorTrail::Way::Call: return "$" + frame.name + " called";
        case ErrorTrail::Way::Exec: return "exec";
        case ErrorTrail::Way::File: return "also";
        case ErrorTrail::Way::Prompt: return "typed";
    }
    return "";
}

std::string lineOf(const Place& place) {
    return place.severalLines ? ", line " + std::to_string(place.line) : std::string();
}

// The innermost place: "in FILE, line N", "typed at the prompt", ...
std::string innermostText(const Place& place) {
    switch (place.kind) {
        case Place::Kind::File: return "in " + place.file + ", line " + std::to_string(place.line);
        case Place::Kind::Prompt: return "typed at the prompt" + lineOf(place);
        case Place::Kind::Exec: return "in exec text" + lineOf(place);
        case Place::Kind::Unknown: return "in a function made at run time" + lineOf(place);
    }
    return "";
}

// A place further out: "at FILE, line N" ("at line N" in the file named
// just before), "at the prompt", ...
std::string outerText(const Place& place, const std::string& previousFile) {
    switch (place.kind) {
        case Place::Kind::File:
            return "at " + (place.file == previousFile ? std::string() : place.file + ", ") + "line " +
                   std::to_string(place.line);
        case Place::Kind::Prompt: return "at the prompt" + lineOf(place);
        case Place::Kind::Exec: return "in exec text" + lineOf(place);
        case Place::Kind::Unknown: return "in a function made at run time" + lineOf(place);
    }
    return "";
}

// One entry of the chain: how a text was entered, from where, how often in
// a row; or the count of frames left out.
struct Entry {
    std::string link;
    Place place;
    std::uint64_t times = 1;
    std::uint64_t leftOut = 0;  // a gap entry when not 0
};

}  // namespace

void recordFile(Interpreter& interpreter, std::string_view path, std::string_view text) {
    if (text.size() > kLongestKeptFile) return;
    auto& files = interpreter.recorded().files;
    const auto same = std::find_if(files.begin(), files.end(), [&](const RecordedTexts::Recorded& r) { return r.name == path; });
    RecordedTexts::Recorded entry;
    if (same != files.end()) {
        entry = std::move(*same);
        files.erase(same);
    } else {
        entry.name = std::string(path);
    }
    if (entry.text != text) entry.text = std::string(text);
    files.push_back(std::move(entry));
}

void recordPromptEntry(Interpreter& interpreter, std::string_view text) {
    if (text.size() > kLongestKeptEntry || text.find('{') == std::string_view::npos) return;
    auto& entries = interpreter.recorded().entries;
    if (entries.size() == kKeptEntries) entries.pop_front();
    entries.emplace_back(text);
}

std::string whereSuffix(Interpreter& interpreter, const ErrorTrail& trail) {
    if (trail.empty()) return "";
    // The frames, innermost first, with the gap between the two ends.
    std::vector<const ErrorTrail::Frame*> frames;
    for (const auto& frame : trail.inner()) frames.push_back(&frame);
    const std::vector<ErrorTrail::Frame> outer = trail.outer();
    const std::size_t gapAt = frames.size();
    for (const auto& frame : outer) frames.push_back(&frame);

    std::vector<Place> places;
    places.reserve(frames.size());
    for (const auto* frame : frames) places.push_back(placeOf(interpreter.recorded(), *frame));
    // The outer end the session cannot name is left out.
    std::size_t count = frames.size();
    while (count > 1 && !places[count - 1].named()) --count;
    if (count == 1 && places[0].kind != Place::Kind::File) return "";

    // Entry k: the text of frame k-1 was entered from the place of frame k;
    // the repeats of a frame are further entries from its own place.
    std::vector<Entry> entries;
    const auto add = [&](Entry entry) {
        if (!entries.empty() && entries.back().leftOut == 0 && entry.leftOut == 0 &&
            entries.back().link == entry.link && entries.back().place == entry.place) {
            entries.back().times += entry.times;
            return;
        }
        entries.push_back(std::move(entry));
    };
    const bool gap = trail.skipped() > 0;
    for (std::size_t k = 0; k < count; ++k) {
        if (k > 0) {
            // Across the gap the frame that entered this text is not known:
            // the call out of the last inner frame is one of those left out.
            if (gap && k == gapAt) add({"", Place(), 1, trail.skipped() + 1});
            else add({linkOf(*frames[k - 1]), places[k], 1, 0});
        }
        if (frames[k]->repeats > 0) add({linkOf(*frames[k]), places[k], frames[k]->repeats, 0});
    }

    std::string out = " (" + innermostText(places[0]);
    std::string previousFile = places[0].kind == Place::Kind::File ? places[0].file : std::string();
    for (const Entry& entry : entries) {
        if (entry.leftOut > 0) {
            out += "; ... " + std::to_string(entry.leftOut) + (entry.leftOut == 1 ? " more call" : " more calls");
            previousFile.clear();
            continue;
        }
        out += "; " + entry.link + " " + outerText(entry.place, previousFile);
        if (entry.times > 1) out += ", the same call " + std::to_string(entry.times - 1) + " more times";
        if (entry.place.kind == Place::Kind::File) previousFile = entry.place.file;
    }
    return out + ")";
}

std::string errorReport(Interpreter& interpreter, const ScriptError& error) {
    return error.what() + whereSuffix(interpreter, error.trail());
}

std::string unbalancedReport(Interpreter& interpreter, const UnbalancedText& unbalanced) {
    const char* what = unbalanced.braces > 0        ? "a brace"
                       : unbalanced.parentheses > 0 ? "a parenthesis"
                       : unbalanced.doubleQuotes > 0 ? "a double quote"
                                                     : "a single quote";
    return std::string("unbalanced text: ") + what + " is never closed" + whereSuffix(interpreter, unbalanced.trail);
}

void placeOpener(UnbalancedText& unbalanced, std::string_view text) {
    if (unbalanced.placed) return;
    // An outer text can only hold the statement that ran the one that failed.
    unbalanced.placed = true;
    const std::less<const char*> before;
    const char* failed = unbalanced.text.data();
    if (!failed || before(failed, text.data()) || before(text.data() + text.size(), failed + unbalanced.text.size()))
        return;
    // The failed text lies in this one, so its bytes are still there.
    const std::size_t start = static_cast<std::size_t>(failed - text.data());
    const check::OpenDelimiter open = check::findOpenDelimiter(unbalanced.text);
    const std::size_t at = start + (open.offset == std::string_view::npos ? 0 : open.offset);
    unbalanced.trail.setLine(linesBefore(text, at));
}

}  // namespace vorn
