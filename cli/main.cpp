// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cli.h"

#include <iostream>

int main (int argc, char* argv[])
{
    const tunewright::cli::Args args (argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = tunewright::cli::runCli (args, std::cout, std::cerr);
    std::cout.flush();
    return std::cout.good() ? status : tunewright::cli::exitFailure;
}
