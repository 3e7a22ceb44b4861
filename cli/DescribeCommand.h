// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Cli.h"

namespace tunewright::cli
{

extern const char* const describeSynopsis;

// describe HEX...: one MIDI message as hex bytes, either as separate arguments
// ("90 3C 64") or one string ("903C64"); prints its one-line description.
// No bytes or bad hex is a usage error.
int runDescribe (const Args& args, std::ostream& out, std::ostream& err);

} // namespace tunewright::cli
