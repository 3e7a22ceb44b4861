// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/InProcessMidiSystem.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tunewright::emulator
{

// A model of the VT9R on in-process MIDI ports. It leads a song transfer the
// way the unit does: an update request is answered with a song select request,
// the slot reply with a data start request, the data start reply and every good
// data packet with status 0 asking for the next packet; the 16384 decoded bytes
// go into the slot after packet 255, which is answered with status 0 too. A bad
// reply or packet is answered with its status code and ends the transfer.
//
// Everything the emulator sends goes out from its own thread, never from inside
// the program's send, so the program's send never re-enters its own callback.
// Every member may be called from any thread.
class Vt9rEmulator
{
public:
    static constexpr int slotCount = 3;
    static constexpr int songBytes = 16384;
    static constexpr int packetCount = 256;
    static constexpr int packetBodyBytes = 81;

    // Status codes the unit sends.
    enum Status : int
    {
        ok = 0,
        productIdError = 1,
        formatError = 3,
        slotError = 4,
        packetNumberError = 5,
        checksumError = 6,
        timeoutError = 7,
        flashWriteError = 9,
        abortedByUser = 10
    };

    // How long an answer takes to reach the program.
    enum class Timing
    {
        immediate, // at once
        midiCable  // 31250 baud: a received message is read only once its last byte
                   // has arrived, and an answer arrives once its last byte is sent
    };

    static constexpr int microsecondsPerByte = 320; // 10 bits at 31250 baud

    // The time a message of this many bytes (F0 and F7 included) takes on the cable.
    static constexpr std::chrono::microseconds wireTime (int numBytes)
    {
        return std::chrono::microseconds (numBytes * microsecondsPerByte);
    }

    // A one-shot misbehaviour, triggered when data packet `packet` has arrived
    // and passed its checks: it replaces the normal answer to that packet.
    // packet = atDataStart triggers on the data start reply instead.
    struct Fault
    {
        enum class Kind
        {
            status,        // answer with statusCode (any 0..127) and end the transfer
            stopAnswering, // answer nothing from here on, until setAnswering (true)
            restart,       // send a data start request again, as if from the beginning
            extraMessage   // send `message` first, then the normal answer
        };

        static constexpr int atDataStart = -1;

        Kind kind = Kind::status;
        int packet = 0;
        int statusCode = 0;
        juce::MidiMessage message;

        static Fault status (int packet, int code);
        static Fault stopAnswering (int packet);
        static Fault restart (int packet);
        static Fault extraMessage (int packet, const juce::MidiMessage& message);
    };

    struct Counters
    {
        int attachMessages = 0;
        int updateRequests = 0;
        int songSelectReplies = 0;
        int dataStartReplies = 0;
        int packetsReceived = 0; // every data packet that arrived, good or bad
        int packetsAccepted = 0; // those that passed their checks in a running transfer
        int errors = 0;          // anything logged as an error
        int songsStored = 0;
        int messagesSent = 0;    // to the program, answers and extra messages alike
    };

    // Called on the emulator's thread with one line per event.
    using Observer = std::function<void (const juce::String& line)>;

    // Adds an input device (the unit's MIDI out, which the program opens as its
    // input) and an output device (what the program sends reaches the unit).
    explicit Vt9rEmulator (midi::InProcessMidiSystem& system,
                           const juce::String& inputName = "VT9R Emulator",
                           const juce::String& outputName = "VT9R Emulator");

    // Unplugs both devices and ends the emulator's thread.
    ~Vt9rEmulator();

    juce::String getInputIdentifier() const { return inputId; }
    juce::String getOutputIdentifier() const { return outputId; }

    void setObserver (Observer observer);
    void setTiming (Timing timing);

    // With a limit above zero, a transfer whose next message from the program
    // takes longer than that ends with status 7. Off by default.
    void setReplyTimeout (std::chrono::milliseconds limit);

    void addFault (const Fault& fault);
    void clearFaults();
    void setAnswering (bool shouldAnswer);

    // Sends any message to the program from the emulator's thread, after
    // whatever is already queued there.
    void sendToProgram (const juce::MidiMessage& message);

    // Waits until everything received and queued has been handled and sent.
    bool waitUntilIdle (std::chrono::milliseconds limit) const;

    // A slot's 16384 bytes: 0xFF until a song has been stored there.
    std::array<std::uint8_t, songBytes> getSlot (int slot) const;
    bool hasSong (int slot) const;
    Counters getCounters() const;
    juce::StringArray getLog() const; // every line given to the observer so far

    // For the log lines: the stored song's length (bytes before the 0xFF fill)
    // and its CRC-32 (as zlib's crc32 computes it over the 16384 bytes).
    static int songLength (const std::uint8_t* bytes, int size);
    static std::uint32_t crc32 (const std::uint8_t* bytes, int size);

private:
    struct Impl;

    midi::InProcessMidiSystem& system;
    juce::String inputId, outputId;
    std::unique_ptr<Impl> impl;

    JUCE_DECLARE_NON_COPYABLE (Vt9rEmulator)
};

// A MIDI system with one emulated VT9R as its only input and output device,
// for the demo build. The observer gets the emulator's lines.
class EmulatedMidiSystem final : public midi::MidiSystem
{
public:
    explicit EmulatedMidiSystem (Vt9rEmulator::Observer observer = {},
                                 const juce::String& deviceName = "VT9R Emulator");
    ~EmulatedMidiSystem() override;

    Vt9rEmulator& getEmulator() { return *emulator; }
    midi::InProcessMidiSystem& getPorts() { return ports; }

    juce::Array<juce::MidiDeviceInfo> getInputDevices() override { return ports.getInputDevices(); }
    juce::Array<juce::MidiDeviceInfo> getOutputDevices() override { return ports.getOutputDevices(); }
    std::unique_ptr<midi::MidiInputPort> openInput (const juce::String& identifier,
                                                    juce::MidiInputCallback& callback) override;
    std::unique_ptr<midi::MidiOutputPort> openOutput (const juce::String& identifier) override;

private:
    midi::InProcessMidiSystem ports;
    std::unique_ptr<Vt9rEmulator> emulator;
};

} // namespace tunewright::emulator
