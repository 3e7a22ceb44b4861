// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_audio_devices/juce_audio_devices.h>

#include <cstdint>
#include <memory>

namespace tunewright::midi
{
class MidiSystem;
class MidiInputPort;
class MidiOutputPort;
}

// The main panel: the whole form, and the owner of the devices and the transfer state.
class VTZareZuzaComponent : public juce::Component,
                            public juce::MidiInputCallback,
                            public juce::Button::Listener,
                            public juce::ComboBox::Listener
{
public:
    explicit VTZareZuzaComponent (tunewright::midi::MidiSystem& midiSystem);
    ~VTZareZuzaComponent() override;

    void paint (juce::Graphics& g) override;
    void resized() override;

    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override;
    void buttonClicked (juce::Button* button) override;
    void comboBoxChanged (juce::ComboBox* comboBoxThatHasChanged) override;

    // Read access for tests and the demo; the widgets stay owned here.
    juce::TextButton* openButton() const noexcept      { return button_searchfile.get(); }
    juce::ComboBox* destinationList() const noexcept   { return comboBox_destsong.get(); }
    juce::TextButton* updateButton() const noexcept    { return textButton_transmit.get(); }
    juce::ComboBox* midiOutputList() const noexcept    { return comboBox_MidiOutDevice.get(); }
    juce::TextEditor* statusBox() const noexcept       { return statusEditor.get(); }
    juce::ComboBox* midiInputList() const noexcept     { return comboBox_MidiInDevice.get(); }
    juce::TextEditor* fileNameBox() const noexcept     { return fileNameEditor.get(); }
    bool isTransmitting() const noexcept               { return transmitting; }
    int32_t getPacketsSent() const noexcept            { return packetsSent; }

private:
    tunewright::midi::MidiSystem& midi;

    juce::Array<juce::MidiDeviceInfo> inputDevices;
    juce::Array<juce::MidiDeviceInfo> outputDevices;
    std::unique_ptr<tunewright::midi::MidiInputPort> midiInput;
    std::unique_ptr<tunewright::midi::MidiOutputPort> midiOutput;
    int32_t runningChecksum = 0;
    int32_t packetsSent = 0;
    bool transmitting = false;

    std::unique_ptr<juce::TextButton> button_searchfile;
    std::unique_ptr<juce::ComboBox> comboBox_destsong;
    std::unique_ptr<juce::TextButton> textButton_transmit;
    std::unique_ptr<juce::ComboBox> comboBox_MidiOutDevice;
    std::unique_ptr<juce::TextEditor> statusEditor;
    std::unique_ptr<juce::ComboBox> comboBox_MidiInDevice;
    std::unique_ptr<juce::TextEditor> fileNameEditor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VTZareZuzaComponent)
};
