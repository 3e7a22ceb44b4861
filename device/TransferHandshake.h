// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cstdint>

namespace tunewright::device
{

extern const char* const selectSongErrorText;   // "Error:Select SONG(1..3) "
extern const char* const noMidiOutErrorText;    // "Error : No MIDI Out Device"

// Owned by the panel. The packer writes packetsSent too (it leaves it at 256),
// which is how a load ends the sending of a running transfer.
struct TransferState
{
    bool transmitting = false;
    std::int32_t packetsSent = 0;
};

// What the handshake needs from the window, kept narrow so it runs without one.
class HandshakeHost
{
public:
    virtual ~HandshakeHost() = default;

    // Sends at once on the open output. False when no output is open: nothing went out.
    virtual bool send (const juce::MidiMessage& message) = 0;
    virtual void setStatusText (const juce::String& text) = 0;
    // The destination list's item id: 0 for none, 1 to 3 for "SONG 01" to "SONG 03".
    virtual int chosenSlotItemId() = 0;
    // 256 packets of 81 bytes, packet n at 81 * n.
    virtual const std::uint8_t* packetImage() = 0;
    // The pause before each packet; tests record it instead of sleeping.
    virtual void pause (int milliseconds) = 0;
};

// The device-led transfer: "Update" asks, the device's requests are answered,
// and each acknowledgement releases one packet. Not thread-safe; the caller
// holds the message-thread lock around every call.
class TransferHandshake
{
public:
    TransferHandshake (HandshakeHost& host, TransferState& state) noexcept;

    void updatePressed();
    void handleIncoming (const juce::MidiMessage& message);

private:
    int chosenSlot();   // 0 to 2, or -1 when nothing valid is chosen
    void answerSongSelect();
    void answerDataStart();
    void acknowledge();

    HandshakeHost& host;
    TransferState& state;
};

} // namespace tunewright::device
