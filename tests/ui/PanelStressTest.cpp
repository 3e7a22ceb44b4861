// SPDX-License-Identifier: GPL-3.0-or-later
// Changing the MIDI ports while the device floods the input, in a real panel.
// The in-process ports block like the framework's: closing an input, and
// opening or closing any port, waits for a delivery in progress. A delivery
// that kept waiting for the message thread would deadlock here.
#include "PanelHarness.h"
#include "song/SmfFixtures.h"
#include "support/HangWatchdog.h"

#include <atomic>
#include <thread>

using namespace tunewright::test;
using namespace tunewright::song::fixtures;

namespace
{

// The device side: sends into both inputs as fast as they take it.
class Flood
{
public:
    Flood (tunewright::midi::InProcessMidiSystem& m, juce::StringArray inputIds)
        : midi (m), ids (std::move (inputIds)), thread ([this] { run(); }) {}

    ~Flood()
    {
        stop = true;
        thread.join();
    }

    std::atomic<int> sent { 0 };

private:
    void run()
    {
        for (int i = 0; ! stop; ++i)
        {
            for (auto& id : ids)
                sent += midi.sendToProgram (id, i % 64 == 0 ? dataStartRequest : acknowledge);
            // About what a MIDI cable carries: an acknowledgement takes 2.2 ms on the wire.
            std::this_thread::sleep_for (std::chrono::microseconds (2000));
        }
    }

    tunewright::midi::InProcessMidiSystem& midi;
    juce::StringArray ids;
    std::atomic<bool> stop { false };
    std::thread thread;
};
} // namespace

TEST (PanelStress, PortSwitchesAndWindowClosesDuringAFloodNeverHang)
{
    HangWatchdog watchdog ("port switches and window closes under a flood", std::chrono::seconds (240));

    PanelHarness h;
    const auto x = h.midi.addInputDevice ("X");
    const auto y = h.midi.addInputDevice ("Y");
    const auto out = h.midi.addOutputDevice ("Out");
    const auto other = h.midi.addOutputDevice ("Other out");

    auto songFile = juce::File::createTempFile (".mid");
    const auto song = smf (Bytes { 0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00 });
    ASSERT_TRUE (songFile.replaceWithData (song.data(), song.size()));

    Flood flood (h.midi, { x, y });

    for (int round = 0; round < 6; ++round)
    {
        auto& panel = h.open();
        panel.loadSourceFile (songFile);
        panel.destinationList()->setSelectedId (1 + round % 3);

        for (int i = 0; i < 20; ++i)
        {
            // Synchronous, as a user's choice arrives: on the message thread, holding its lock.
            if (i % 3 == 2)
                panel.midiOutputList()->setSelectedId (1 + (i / 3) % 2, juce::sendNotificationSync);
            else
                panel.midiInputList()->setSelectedId (1 + (i % 2), juce::sendNotificationSync);
            pumpMessages (3 + i % 7);
        }

        h.close(); // teardown stops the input while deliveries wait
        EXPECT_FALSE (h.midi.isOpen (x));
        EXPECT_FALSE (h.midi.isOpen (y));
    }

    songFile.deleteFile();
    EXPECT_GT (flood.sent.load(), 1000) << "the device kept the inputs busy";
    EXPECT_GT (h.midi.getDeliveredCount (x) + h.midi.getDeliveredCount (y), 100) << "deliveries reached the panel";

    size_t packets = 0;
    for (auto& id : { out, other })
        for (auto& m : h.sentTo (id))
            packets += m.size() == 83 ? 1u : 0u;
    EXPECT_GT (packets, 50u) << "the acknowledgements released packets all along";
    EXPECT_GT (h.midi.getOpenCount (other), 0) << "outputs were switched too";
}
