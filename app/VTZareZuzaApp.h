// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "VTZareZuzaAppWindow.h"

#include <memory>

namespace tunewright::midi { class MidiSystem; }

// Supplied by each executable: the framework's MIDI ports in the program,
// the emulator in the demo.
std::unique_ptr<tunewright::midi::MidiSystem> createMidiSystem();

class VTZareZuzaApp : public juce::JUCEApplication
{
public:
    VTZareZuzaApp();
    ~VTZareZuzaApp() override;

    void initialise (const juce::String& commandLine) override;
    void shutdown() override;
    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void anotherInstanceStarted (const juce::String& commandLine) override;

private:
    std::unique_ptr<tunewright::midi::MidiSystem> midiSystem;
    std::unique_ptr<VTZareZuzaAppWindow> mainWindow;
};
