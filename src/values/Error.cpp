// The frames an error collects on its way up.
#include "values/Error.h"

namespace vorn {

namespace {

bool sameFrame(const ErrorTrail::Frame& a, const ErrorTrail::Frame& b) {
    return a.way == b.way && a.line == b.line && a.name == b.name && a.text.view().data() == b.text.view().data() &&
           a.text.size() == b.text.size();
}

}  // namespace

void ErrorTrail::close(Frame frame) {
    frame.line = line_;
    line_ = 0;
    countClosed_ = false;
    // A recursion leaves the same frame many times in a row: it is counted.
    Frame* last = nullptr;
    if (!outer_.empty()) last = &outer_[(outerStart_ + outer_.size() - 1) % outer_.size()];
    else if (!inner_.empty()) last = &inner_.back();
    if (last && sameFrame(*last, frame)) {
        ++last->repeats;
        return;
    }
    if (inner_.size() < kKept) {
        inner_.push_back(std::move(frame));
        return;
    }
    if (outer_.size() < kKept) {
        outer_.push_back(std::move(frame));
        return;
    }
    // The ring is full: its oldest frame moves into the count between.
    Frame& oldest = outer_[outerStart_];
    skipped_ += 1 + oldest.repeats;
    oldest = std::move(frame);
    outerStart_ = (outerStart_ + 1) % outer_.size();
}

std::vector<ErrorTrail::Frame> ErrorTrail::outer() const {
    std::vector<Frame> frames;
    frames.reserve(outer_.size());
    for (std::size_t i = 0; i < outer_.size(); ++i) frames.push_back(outer_[(outerStart_ + i) % outer_.size()]);
    return frames;
}

}  // namespace vorn
