// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

namespace tunewright::midi { class MidiSystem; }

// The one main window; its content is the main panel.
class VTZareZuzaAppWindow : public juce::DocumentWindow
{
public:
    static constexpr int windowWidth = 290;
    static constexpr int windowHeight = 400;
    static constexpr int titleBarHeight = 24;

    explicit VTZareZuzaAppWindow (tunewright::midi::MidiSystem& midiSystem);
    ~VTZareZuzaAppWindow() override;

    void closeButtonPressed() override;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VTZareZuzaAppWindow)
};
