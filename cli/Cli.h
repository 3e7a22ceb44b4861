// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tunewright::cli
{

// Exit statuses every command uses, so scripts can tell them apart.
enum ExitStatus : int
{
    exitSuccess = 0,
    exitFailure = 1,    // the input was refused or could not be handled
    exitUsage = 2       // the command line itself was wrong
};

using Args = std::vector<std::string>;
using CommandFunction = int (*) (const Args& args, std::ostream& out, std::ostream& err);

struct Command
{
    const char* name;
    const char* synopsis;       // the arguments, as shown in the usage text
    const char* summary;
    CommandFunction run;        // gets the arguments after the command's name
};

// args: everything after the program name.
int runCli (const Args& args, std::ostream& out, std::ostream& err);

void printUsage (std::ostream& stream);

} // namespace tunewright::cli
