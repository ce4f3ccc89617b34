// Test tool: the checker on the files named, as `vorn-run --check` runs it.
#include <iostream>
#include <string>
#include <vector>

#include "check/Check.h"

int main(int argc, char** argv) {
    return vorn::check::runCheck(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
