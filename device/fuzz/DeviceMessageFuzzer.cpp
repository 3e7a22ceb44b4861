// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any byte string, of any length, as a received MIDI message,
// through recognition and description.
#include "device/DeviceMessages.h"
#include "device/MessageDescription.h"

#include <cstdint>
#include <cstdlib>

namespace
{
using namespace tunewright::device;

juce::MidiMessage messageFrom (const std::uint8_t* data, size_t size)
{
    if (size == 0)
    {
        // The stream reader is the one way to an empty message: a data byte
        // with no running status.
        const std::uint8_t dataByte = 0;
        int used = 0;
        return juce::MidiMessage (&dataByte, 1, used, 0);
    }

    // Taken as it stands, including lengths no input delivers (a cut-off
    // SysEx, a short note-on), which both operations must still handle.
    return juce::MidiMessage (data, static_cast<int> (size));
}

void check (bool condition)
{
    if (! condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, size_t size)
{
    const auto message = messageFrom (data, size);
    const auto* raw = message.getRawData();
    const int n = message.getRawDataSize();
    check (n == static_cast<int> (size));

    // A device message always has the signature and all the bytes recognition read.
    const auto received = classifyMessage (message);
    if (received.kind != MessageKind::notDeviceMessage)
    {
        check (n >= 5 && raw[0] == 0xf0 && raw[1] == 0x42 && raw[2] == 0x23 && raw[3] == 0x73);
        check ((received.kind == MessageKind::deviceStatus) == (raw[4] == 0x05));
    }
    if (received.kind == MessageKind::deviceStatus)
        check (n >= 6 && received.statusCode == raw[5]);
    if (n >= 6 && raw[0] == 0xf0 && raw[1] == 0x42 && raw[2] == 0x23 && raw[3] == 0x73)
        check (received.kind != MessageKind::notDeviceMessage);

    // A SysEx text is its body in hex: two digits per byte, one blank between.
    const auto text = describeMidiMessage (message);
    if (n >= 2 && raw[0] == 0xf0)
        check (text.length() == (n == 2 ? 0 : 3 * (n - 2) - 1));

    return 0;
}
