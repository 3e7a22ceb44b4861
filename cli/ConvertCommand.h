// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Cli.h"

namespace tunewright::cli
{

extern const char* const convertSynopsis;

// convert FILE [--song-image OUT] [--packets OUT]
// Loads FILE with the program's own load steps. The last line on `out` is the
// text the status box would show.
int runConvert (const Args& args, std::ostream& out, std::ostream& err);

} // namespace tunewright::cli
