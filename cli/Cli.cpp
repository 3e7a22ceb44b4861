// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cli.h"
#include "ConvertCommand.h"
#include "DescribeCommand.h"

#include <iterator>
#include <ostream>

namespace tunewright::cli
{
namespace
{
// One row per command; each command lives in its own file.
const Command commands[] = {
    { "convert", convertSynopsis, "Convert a format-0 MIDI file as \"Open SMF\" does and show what the device gets.",
      runConvert },
    { "describe", describeSynopsis, "Show the text the status box gives a received MIDI message.", runDescribe },
};
} // namespace

void printUsage (std::ostream& stream)
{
    stream << "Usage: tunewright-cli COMMAND [ARGUMENTS...]\n"
              "       tunewright-cli COMMAND --help\n"
              "\n"
              "Commands:\n";

    for (const auto& c : commands)
        stream << "  " << c.name << ' ' << c.synopsis << "\n      " << c.summary << '\n';

    stream << "\n"
              "Exit status: 0 success, 1 the input was refused or failed, 2 usage error.\n";
}

int runCli (const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
    {
        err << "tunewright-cli: no command given\n\n";
        printUsage (err);
        return exitUsage;
    }

    if (args.front() == "--help" || args.front() == "-h" || args.front() == "help")
    {
        printUsage (out);
        return exitSuccess;
    }

    for (const auto& c : commands)
        if (args.front() == c.name)
            return c.run (Args (std::next (args.begin()), args.end()), out, err);

    err << "tunewright-cli: unknown command '" << args.front() << "'\n\n";
    printUsage (err);
    return exitUsage;
}

} // namespace tunewright::cli
