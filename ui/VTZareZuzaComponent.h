// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <juce_audio_devices/juce_audio_devices.h>

#include "device/TransferHandshake.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace tunewright::midi
{
class MidiSystem;
class MidiInputPort;
class MidiOutputPort;
}

namespace tunewright::song { struct SongStore; }

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

    // Loads a chosen song file, as "Open SMF" does after its file chooser.
    void loadSourceFile (const juce::File& file);

    // Read access for tests and the demo; the widgets stay owned here.
    juce::TextButton* openButton() const noexcept      { return button_searchfile.get(); }
    juce::ComboBox* destinationList() const noexcept   { return comboBox_destsong.get(); }
    juce::TextButton* updateButton() const noexcept    { return textButton_transmit.get(); }
    juce::ComboBox* midiOutputList() const noexcept    { return comboBox_MidiOutDevice.get(); }
    juce::TextEditor* statusBox() const noexcept       { return statusEditor.get(); }
    juce::ComboBox* midiInputList() const noexcept     { return comboBox_MidiInDevice.get(); }
    juce::TextEditor* fileNameBox() const noexcept     { return fileNameEditor.get(); }
    bool isTransmitting() const noexcept               { return transferState.transmitting; }
    int32_t getPacketsSent() const noexcept            { return transferState.packetsSent; }
    const tunewright::song::SongStore& songStore() const noexcept { return *songBuffers; }

private:
    void openSourceFile();
    void fillDeviceLists();
    void chooseOutput();
    void chooseInput();
    void closeInput();

    class PanelHandshakeHost;

    tunewright::midi::MidiSystem& midi;
    std::unique_ptr<tunewright::song::SongStore> songBuffers;
    std::unique_ptr<tunewright::device::HandshakeHost> handshakeHost;
    std::unique_ptr<tunewright::device::TransferHandshake> handshake;

    // Opening or closing any port waits for a MIDI delivery in progress, and a
    // delivery may be waiting for the message thread: while the message thread
    // changes ports, a waiting delivery gives up its wait. Its message is then
    // handed to the message thread, or dropped when its input is closing.
    class PortChange;
    void handOverToMessageThread (const juce::MidiMessage& message);
    juce::MessageManager::Lock deliveryLock;
    std::atomic<bool> deliveriesMustYield { false };
    std::atomic<bool> inputClosing { false };

    juce::Array<juce::MidiDeviceInfo> inputDevices;
    juce::Array<juce::MidiDeviceInfo> outputDevices;
    std::unique_ptr<tunewright::midi::MidiInputPort> midiInput;
    std::unique_ptr<tunewright::midi::MidiOutputPort> midiOutput;
    int32_t runningChecksum = 0;
    tunewright::device::TransferState transferState; // transmitting, packetsSent

    std::unique_ptr<juce::TextButton> button_searchfile;
    std::unique_ptr<juce::ComboBox> comboBox_destsong;
    std::unique_ptr<juce::TextButton> textButton_transmit;
    std::unique_ptr<juce::ComboBox> comboBox_MidiOutDevice;
    std::unique_ptr<juce::TextEditor> statusEditor;
    std::unique_ptr<juce::ComboBox> comboBox_MidiInDevice;
    std::unique_ptr<juce::TextEditor> fileNameEditor;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VTZareZuzaComponent)
};
