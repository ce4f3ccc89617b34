// vorn-run: runs VORN script files from a shell (see app/Runner.h).
#include "app/Runner.h"

int main(int argc, char** argv) { return vorn::runnerMain(argc, argv); }
