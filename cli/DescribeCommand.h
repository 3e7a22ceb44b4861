// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tunewright::cli
{

// tunewright-cli describe HEX...: one MIDI message as hex bytes, either as separate
// arguments ("90 3C 64") or one string ("903C64"); prints its one-line description.
// Returns 0, or 2 for no bytes or bad hex (usage on err).
int runDescribe (const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace tunewright::cli
