// SPDX-License-Identifier: GPL-3.0-or-later
// main() for tests that need the framework's message loop and real windows.
#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);

    // Run as the program does: the framework then sets up X for several threads
    // and installs its X error handlers. The factory itself is never called.
    juce::JUCEApplicationBase::createInstance = [] () -> juce::JUCEApplicationBase* { return nullptr; };

    juce::ScopedJuceInitialiser_GUI juceGui;
    return RUN_ALL_TESTS();
}
