// SPDX-License-Identifier: GPL-3.0-or-later
#include "DescribeCommand.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tunewright::cli
{
namespace
{

struct CommandCase
{
    const char* name;
    std::vector<std::string> args;
    int exitStatus;
    const char* out;
};

std::ostream& operator<< (std::ostream& os, const CommandCase& c) { return os << c.name; }

class DescribeCommand : public ::testing::TestWithParam<CommandCase>
{
};

TEST_P (DescribeCommand, Run)
{
    const auto& c = GetParam();
    std::ostringstream out, err;

    EXPECT_EQ (runDescribe (c.args, out, err), c.exitStatus);
    EXPECT_EQ (out.str(), c.out);

    if (c.exitStatus == 0)
    {
        EXPECT_EQ (err.str(), "");
    }
    else
    {
        EXPECT_NE (err.str().find ("usage: tunewright-cli describe HEX..."), std::string::npos) << err.str();
    }
}

TEST (DescribeCommandHelp, PrintsUsageAndSucceeds)
{
    for (const char* option : { "--help", "-h" })
    {
        SCOPED_TRACE (option);
        std::ostringstream out, err;
        EXPECT_EQ (runDescribe ({ option }, out, err), 0);
        EXPECT_EQ (out.str().rfind ("usage: tunewright-cli describe HEX...\n", 0), 0u) << out.str();
        EXPECT_EQ (err.str(), "");
    }
}

TEST (DescribeCommandDispatch, ReachedThroughTheProgramsCommandTable)
{
    std::ostringstream out, err;
    EXPECT_EQ (runCli ({ "describe", "B0", "07", "64" }, out, err), 0);
    EXPECT_EQ (out.str(), "CC#:  7(Volume (coarse)), Val:100\n");
    EXPECT_EQ (err.str(), "");
}

const CommandCase commandCases[] = {
    { "SeparateBytes", { "90", "3C", "64" }, 0, "Note#: 60(C4), Vel:100\n" },
    { "OneString", { "903C64" }, 0, "Note#: 60(C4), Vel:100\n" },
    { "OneArgumentWithBlanks", { "90 3C 64" }, 0, "Note#: 60(C4), Vel:100\n" },
    { "MixedWords", { "903C", "64" }, 0, "Note#: 60(C4), Vel:100\n" },
    { "LowercaseSysEx", { "f0", "42", "23", "73", "02", "01", "f7" }, 0, "42 23 73 02 01\n" },
    { "EmptySysExPrintsEmptyLine", { "F0F7" }, 0, "\n" },
    { "PitchBendLowest", { "E0", "00", "00" }, 0, "Val:-8192\n" },
    { "SystemMessage", { "F8" }, 0, "f8\n" },
    { "ShortMessageReadsZeros", { "C0" }, 0, "PC#:  0(GM Acoustic Grand Piano)\n" },
    { "NoArguments", {}, 2, "" },
    { "OnlyBlanks", { "  " }, 2, "" },
    { "EmptyArgument", { "" }, 2, "" },
    { "OddDigitCount", { "903" }, 2, "" },
    { "ByteSplitAcrossWords", { "9", "03C64" }, 2, "" },
    { "NotHex", { "90", "3G", "64" }, 2, "" },
    { "HexPrefix", { "0x90" }, 2, "" },
};

INSTANTIATE_TEST_SUITE_P (Cli, DescribeCommand, ::testing::ValuesIn (commandCases),
                          [] (const auto& param) { return std::string (param.param.name); });

} // namespace
} // namespace tunewright::cli
