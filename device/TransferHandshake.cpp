// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/TransferHandshake.h"

#include "device/DeviceMessages.h"
#include "device/MessageDescription.h"

namespace tunewright::device
{

const char* const selectSongErrorText = "Error:Select SONG(1..3) ";
const char* const noMidiOutErrorText = "Error : No MIDI Out Device";

namespace
{
constexpr int pauseBeforePacketMs = 10;
}

TransferHandshake::TransferHandshake (HandshakeHost& hostToUse, TransferState& stateToUse) noexcept
    : host (hostToUse), state (stateToUse)
{
}

int TransferHandshake::chosenSlot()
{
    const int itemId = host.chosenSlotItemId();
    return (itemId >= 1 && itemId <= 3) ? itemId - 1 : -1;
}

void TransferHandshake::updatePressed()
{
    if (chosenSlot() < 0)
    {
        host.setStatusText (selectSongErrorText);
        return;
    }

    if (! host.send (toSysEx (updateRequest())))
        host.setStatusText (noMidiOutErrorText);
}

void TransferHandshake::handleIncoming (const juce::MidiMessage& message)
{
    const auto received = classifyMessage (message);

    switch (received.kind)
    {
        case MessageKind::notDeviceMessage:
            return;

        case MessageKind::songSelectRequest:
            answerSongSelect();
            return;

        case MessageKind::dataStartRequest:
            answerDataStart();
            return;

        case MessageKind::deviceStatus:
            if (received.statusCode == 0)
            {
                acknowledge();
            }
            else
            {
                state.transmitting = false;
                host.setStatusText (deviceStatusText (received.statusCode));
            }
            return;

        case MessageKind::otherDeviceMessage:
            host.setStatusText (describeMidiMessage (message));
            return;
    }
}

// A request before any slot is chosen gets no reply: there is no slot to report,
// and the device will ask again once the user has pressed "Update".
void TransferHandshake::answerSongSelect()
{
    const int slot = chosenSlot();

    if (slot < 0)
        host.setStatusText (selectSongErrorText);
    else if (! host.send (toSysEx (songSelectReply (slot))))
        host.setStatusText (noMidiOutErrorText);
}

void TransferHandshake::answerDataStart()
{
    const int slot = chosenSlot();

    if (slot < 0)
    {
        host.setStatusText (selectSongErrorText);
        return;
    }

    host.setStatusText ({});

    // Arming without a reply would make the next acknowledgement send packets
    // the device never asked for.
    if (! host.send (toSysEx (dataStartReply (slot))))
    {
        host.setStatusText (noMidiOutErrorText);
        return;
    }

    state.transmitting = true;
    state.packetsSent = 0;
}

void TransferHandshake::acknowledge()
{
    host.pause (pauseBeforePacketMs);

    if (state.transmitting && state.packetsSent >= 0 && state.packetsSent < packetCount)
    {
        // A packet that could not go out is not counted, so none is skipped once an output is back.
        if (! host.send (toSysEx (dataPacket (host.packetImage(), state.packetsSent))))
        {
            host.setStatusText (noMidiOutErrorText);
            return;
        }

        ++state.packetsSent;
    }

    host.setStatusText (progressText (state.packetsSent));
}

} // namespace tunewright::device
