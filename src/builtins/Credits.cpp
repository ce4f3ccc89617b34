// werhatdasgemacht: the credits screen, a bevelled V on a plinth, then the
// credit line.
#include "builtins/Credits.h"

#include "builtins/Builtins.h"
#include "platform/Platform.h"

namespace vorn::builtins {

namespace {

// The left arm is the lit face (light characters), the right arm the shaded
// one; where the arms meet the faces touch without a gap. Only space . , % @
// * # ( / & appear, every line starts with at least seven spaces and none
// ends in one.
constexpr std::string_view kArt =
    "        .,,//((**%%                              @@@@@&&&&##\n"
    "         .,,//((**%%                            @@@@@&&&&##\n"
    "           .,,//((**%%                        @@@@@&&&&##\n"
    "            .,,//((**%%                      @@@@@&&&&##\n"
    "             .,,//((**%%                    @@@@@&&&&##\n"
    "               .,,//((**%%                @@@@@&&&&##\n"
    "                .,,//((**%%              @@@@@&&&&##\n"
    "                 .,,//((**%%            @@@@@&&&&##\n"
    "                   .,,//((**%%        @@@@@&&&&##\n"
    "                    .,,//((**%%      @@@@@&&&&##\n"
    "                     .,,//((**%%    @@@@@&&&&##\n"
    "                      .,,//((**%%  @@@@@&&&&##\n"
    "                        .,,//((**%@@@@&&&&##\n"
    "                         .,,//((**@@@&&&&##\n"
    "                          .,,//((*@@&&&&##\n"
    "                            .,,//(&&&&##\n"
    "                             .,,//&&&##\n"
    "                              .,,/&&##\n"
    "                                .,##\n"
    "                                 .#\n"
    "        .,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,.,\n"
    "       &@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@@&\n"
    "         *      *      *      *      *      *      *      *\n";

constexpr std::string_view kCreditLine = "VORN V3 - made by Kelvorast";

}  // namespace

std::string_view creditsArt() { return kArt; }

std::string_view creditsLine() { return kCreditLine; }

std::string creditsText() {
    std::string text = "\n\n\n";
    text += kArt;
    text += "\n";
    text += kCreditLine;
    text += "\n";
    return text;
}

Value werhatdasgemacht(const CallScope&) {
    platform::writeOut("\n\n\n");
    platform::writeOut(kArt);
    // A line end after the art leaves one empty line before the credit.
    platform::writeOut("\n");
    platform::flushOut();
    platform::writeOut(kCreditLine);
    platform::writeOut("\n");
    platform::flushOut();
    return Value();
}

}  // namespace vorn::builtins
