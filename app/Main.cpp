// SPDX-License-Identifier: GPL-3.0-or-later
#include "VTZareZuzaApp.h"

START_JUCE_APPLICATION (VTZareZuzaApp)
