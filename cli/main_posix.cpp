#include <string>
#include <vector>

#include "cli/program.h"

int main(int argc, char** argv) {
    return melvane::cli::RunProgram(std::vector<std::string>(argv + 1, argv + argc));
}
