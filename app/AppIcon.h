// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_graphics/juce_graphics.h>

namespace tunewright
{
// The program's icon; size is 16, 32, 48 or 128 (others give the nearest larger one).
juce::Image appIcon (int size);
}
