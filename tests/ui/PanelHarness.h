// SPDX-License-Identifier: GPL-3.0-or-later
// A real main window with its panel on in-process MIDI devices.
#pragma once

#include "app/VTZareZuzaAppWindow.h"
#include "midi/InProcessMidiSystem.h"
#include "support/GuiTestSupport.h"
#include "ui/VTZareZuzaComponent.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tunewright::test
{
using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf (const juce::MidiMessage& m)
{
    return Bytes (m.getRawData(), m.getRawData() + m.getRawDataSize());
}

inline juce::MidiMessage sysEx (std::initializer_list<uint8_t> body)
{
    const Bytes b (body);
    return juce::MidiMessage::createSysExMessage (b.data(), (int) b.size());
}

inline const Bytes attachOnWire { 0xF0, 0x42, 0x30, 0x73, 0x20, 0x4E, 0x40, 0x00, 0xF7 };

// What the device sends.
inline const auto songSelectRequest = sysEx ({ 0x42, 0x23, 0x73, 0x01 });
inline const auto dataStartRequest = sysEx ({ 0x42, 0x23, 0x73, 0x03 });
inline const auto acknowledge = sysEx ({ 0x42, 0x23, 0x73, 0x05, 0x00 });

class PanelHarness
{
public:
    midi::InProcessMidiSystem midi;

    // Builds the window, then lets the queued device-list notifications arrive.
    VTZareZuzaComponent& open()
    {
        window = std::make_unique<VTZareZuzaAppWindow> (midi);
        window->centreWithSize (VTZareZuzaAppWindow::windowWidth, VTZareZuzaAppWindow::windowHeight);
        window->setVisible (true);
        pumpMessages (100);
        return panel();
    }

    VTZareZuzaComponent& panel() const
    {
        return *dynamic_cast<VTZareZuzaComponent*> (window->getContentComponent());
    }

    void close()
    {
        window.reset();
        pumpMessages (10);
    }

    ~PanelHarness() { close(); }

    std::vector<Bytes> sentTo (const juce::String& outputId) const
    {
        std::vector<Bytes> out;
        for (auto& m : midi.getReceivedMessages (outputId))
            out.push_back (bytesOf (m));
        return out;
    }

    std::unique_ptr<VTZareZuzaAppWindow> window;
};
} // namespace tunewright::test
