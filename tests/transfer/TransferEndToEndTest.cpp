// SPDX-License-Identifier: GPL-3.0-or-later
// Whole transfers from a real panel to the emulated VT9R.
#include "emulator/Vt9rEmulator.h"
#include "song/SmfFixtures.h"
#include "song/SongStore.h"
#include "ui/PanelHarness.h"

using namespace tunewright::test;
using namespace tunewright::song::fixtures;
using tunewright::emulator::Vt9rEmulator;
using Fault = Vt9rEmulator::Fault;

namespace
{
// A song long enough to fill several packets: notes at mixed times, division 480.
Bytes song (int notes = 400)
{
    Bytes events;
    for (int i = 0; i < notes; ++i)
    {
        const auto key = uint8_t (48 + i % 24);
        events = events + Bytes { uint8_t (i % 3 == 0 ? 0x83 : 0x00), uint8_t (i % 3 == 0 ? 0x60 : 0x00), 0x90, key, 0x64 }
                        + Bytes { 0x81, 0x70, key, 0x00 };
    }
    return smf (events + Bytes { 0x00, 0xFF, 0x2F, 0x00 }, 480);
}

class Transfer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        emulator = std::make_unique<Vt9rEmulator> (h.midi);
        h.open();
        file = juce::File::createTempFile (".mid");
        load (song());
        ASSERT_EQ (status(), "Ready ");
    }

    void TearDown() override
    {
        h.close();
        emulator.reset();
        file.deleteFile();
    }

    void load (const Bytes& bytes)
    {
        file.replaceWithData (bytes.data(), bytes.size());
        panel().loadSourceFile (file);
    }

    void pressUpdate (int slotItemId)
    {
        panel().statusBox()->setText ("(before update)");
        panel().destinationList()->setSelectedId (slotItemId);
        pumpMessages (10);
        panel().updateButton()->triggerClick(); // delivered through the message queue
        pumpMessages (10);
    }

    bool pumpUntilStatus (const juce::String& text, int timeoutMs = 20000)
    {
        return pumpUntil ([&] { return status() == text; }, timeoutMs);
    }

    // Lets the device and the panel answer each other until both are quiet:
    // nothing changes on either side for a few rounds.
    void settle()
    {
        auto snapshot = [this] {
            const auto c = emulator->getCounters();
            return juce::String (c.messagesSent) + "/" + juce::String (c.packetsReceived) + "/"
                 + juce::String (panel().getPacketsSent()) + "/" + status();
        };
        const auto end = juce::Time::getMillisecondCounter() + 30000;
        for (int quietRounds = 0; quietRounds < 3 && juce::Time::getMillisecondCounter() < end;)
        {
            const auto before = snapshot();
            emulator->waitUntilIdle (std::chrono::milliseconds (500));
            pumpMessages (40);
            quietRounds = snapshot() == before ? quietRounds + 1 : 0;
        }
    }

    std::array<uint8_t, Vt9rEmulator::songBytes> packedSong()
    {
        std::array<uint8_t, Vt9rEmulator::songBytes> bytes {};
        std::copy_n (panel().songStore().songImage.begin(), bytes.size(), bytes.begin());
        return bytes;
    }

    VTZareZuzaComponent& panel() { return h.panel(); }
    juce::String status() { return panel().statusBox()->getText(); }

    PanelHarness h;
    std::unique_ptr<Vt9rEmulator> emulator;
    juce::File file;
};
} // namespace

TEST_F (Transfer, EachSlotReceivesTheWholeSongImage)
{
    for (int slot = 0; slot < 3; ++slot)
    {
        SCOPED_TRACE (slot);
        pressUpdate (slot + 1);
        ASSERT_TRUE (pumpUntilStatus ("Completed!")) << status();
        settle();

        EXPECT_TRUE (emulator->hasSong (slot));
        EXPECT_EQ (emulator->getSlot (slot), packedSong());
        EXPECT_EQ (panel().getPacketsSent(), 256);
        EXPECT_TRUE (panel().isTransmitting()) << "a completed transfer stays armed";
    }

    const auto counters = emulator->getCounters();
    EXPECT_EQ (counters.packetsReceived, 3 * 256) << "no packet twice, none extra";
    EXPECT_EQ (counters.errors, 0);
    EXPECT_EQ (counters.songsStored, 3);

    // A 257th acknowledgement sends nothing and shows completion again.
    panel().statusBox()->clear();
    h.midi.sendToProgram (emulator->getInputIdentifier(), acknowledge);
    ASSERT_TRUE (pumpUntilStatus ("Completed!"));
    settle();
    EXPECT_EQ (emulator->getCounters().packetsReceived, 3 * 256);
}

TEST_F (Transfer, ProgressTextFollowsThePacketsSent)
{
    struct Case { int stopAfterPacket; const char* text; };
    for (auto c : { Case { 0, "Transmit..." }, Case { 2, "Transmit. ." }, Case { 5, "Transmit.. " },
                    Case { 8, "Transmit .." }, Case { 100, "Transmit..." } })
    {
        SCOPED_TRACE (c.stopAfterPacket);
        emulator->clearFaults();
        emulator->setAnswering (true);
        emulator->addFault (Fault::stopAnswering (c.stopAfterPacket));
        pressUpdate (1);
        settle();
        EXPECT_EQ (panel().getPacketsSent(), c.stopAfterPacket + 1);
        EXPECT_EQ (status(), c.text);
    }
}

TEST_F (Transfer, DeviceErrorsStopTheSendingWithTheirText)
{
    struct Case { int code; const char* text; };
    const Case cases[] = {
        { 1, "ProdID Error!" }, { 2, "" }, { 3, "Format Error!" }, { 4, "Select SONG No." },
        { 5, "Packet No. Error!" }, { 6, "CheckSum Error!" }, { 7, "Timeout Error!" }, { 8, "" },
        { 9, "Flash Write Error!" }, { 10, "Aborted by User." }, { 11, "" }, { 127, "" },
    };
    for (auto c : cases)
    {
        SCOPED_TRACE (c.code);
        emulator->clearFaults();
        emulator->addFault (Fault::status (40, c.code));
        const auto before = emulator->getCounters().packetsReceived;
        panel().statusBox()->setText ("something else");
        pressUpdate (2);
        settle();

        EXPECT_EQ (status(), c.text);
        EXPECT_FALSE (panel().isTransmitting());
        EXPECT_EQ (panel().getPacketsSent(), 41);
        EXPECT_EQ (emulator->getCounters().packetsReceived - before, 41) << "no stray packet after the error";

        // Acknowledgements after an error send nothing.
        h.midi.sendToProgram (emulator->getInputIdentifier(), acknowledge);
        settle();
        EXPECT_EQ (emulator->getCounters().packetsReceived - before, 41);
        EXPECT_EQ (status(), "Transmit...");
    }

    // The user starts again; the transfer restarts from packet 0 and completes.
    emulator->clearFaults();
    pressUpdate (2);
    ASSERT_TRUE (pumpUntilStatus ("Completed!"));
    settle();
    EXPECT_EQ (emulator->getSlot (1), packedSong());
}

TEST_F (Transfer, SecondDataStartMidTransferRestartsFromPacketZero)
{
    emulator->addFault (Fault::restart (99));
    pressUpdate (3);
    ASSERT_TRUE (pumpUntilStatus ("Completed!"));
    settle();
    EXPECT_EQ (emulator->getCounters().packetsReceived, 100 + 256);
    EXPECT_EQ (emulator->getSlot (2), packedSong());
}

TEST_F (Transfer, OtherDeviceMessagesAreShownAndTheTransferGoesOn)
{
    emulator->addFault (Fault::extraMessage (10, sysEx ({ 0x42, 0x23, 0x73, 0x7F, 0x1A })));
    emulator->addFault (Fault::stopAnswering (11));
    pressUpdate (1);
    settle();
    EXPECT_EQ (panel().getPacketsSent(), 12);

    emulator->sendToProgram (sysEx ({ 0x42, 0x23, 0x73, 0x02, 0x01 }));
    settle();
    EXPECT_EQ (status(), "42 23 73 02 01");
    EXPECT_TRUE (panel().isTransmitting());
}

TEST_F (Transfer, LoadingDuringATransferEndsItsSending)
{
    emulator->addFault (Fault::stopAnswering (30));
    pressUpdate (1);
    settle();
    ASSERT_EQ (panel().getPacketsSent(), 31);

    load (song (50));
    ASSERT_EQ (status(), "Ready ");
    EXPECT_EQ (panel().getPacketsSent(), 256);

    h.midi.sendToProgram (emulator->getInputIdentifier(), acknowledge);
    settle();
    EXPECT_EQ (status(), "Completed!");
    EXPECT_EQ (emulator->getCounters().packetsReceived, 31);
    EXPECT_FALSE (emulator->hasSong (0));
}

TEST_F (Transfer, RequestsWithoutASlotGetNoReply)
{
    for (auto& request : { songSelectRequest, dataStartRequest })
    {
        panel().statusBox()->clear();
        h.midi.sendToProgram (emulator->getInputIdentifier(), request);
        settle();
        EXPECT_EQ (status(), "Error:Select SONG(1..3) ");
    }
    const auto counters = emulator->getCounters();
    EXPECT_EQ (counters.songSelectReplies + counters.dataStartReplies, 0);
    EXPECT_FALSE (panel().isTransmitting());

    panel().statusBox()->setText ("Ready ");
    panel().updateButton()->triggerClick();
    pumpMessages (20);
    EXPECT_EQ (status(), "Error:Select SONG(1..3) ");
    EXPECT_EQ (emulator->getCounters().updateRequests, 0);
}

TEST_F (Transfer, WithoutAnOutputNothingIsSentAndTheUserIsTold)
{
    h.close();
    h.midi.setOpenFails (emulator->getOutputIdentifier(), true);
    h.open();
    ASSERT_EQ (status(), "Error : MIDI Out open failed");
    load (song());
    const auto received = emulator->getCounters();

    pressUpdate (1);
    EXPECT_EQ (status(), "Error : No MIDI Out Device");

    for (auto& request : { songSelectRequest, dataStartRequest })
    {
        panel().statusBox()->clear();
        h.midi.sendToProgram (emulator->getInputIdentifier(), request);
        settle();
        EXPECT_EQ (status(), "Error : No MIDI Out Device");
    }
    EXPECT_FALSE (panel().isTransmitting()) << "a reply that could not go out arms nothing";
    const auto after = emulator->getCounters();
    EXPECT_EQ (after.updateRequests, received.updateRequests);
    EXPECT_EQ (after.songSelectReplies + after.dataStartReplies, 0);
}
