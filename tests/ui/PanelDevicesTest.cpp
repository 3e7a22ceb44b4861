// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the MIDI devices in a real panel, on in-process devices.
#include "PanelHarness.h"

using namespace tunewright::test;

namespace
{
juce::StringArray eventsOf (const PanelHarness& h) { return h.midi.getPortEvents(); }

juce::StringArray list (std::initializer_list<juce::String> items)
{
    juce::StringArray out;
    for (auto& item : items)
        out.add (item);
    return out;
}
}

TEST (PanelDevices, StartUpOpensFirstInputThenFirstOutputAndAttachesOnce)
{
    PanelHarness h;
    const auto in = h.midi.addInputDevice ("Keys In");
    h.midi.addInputDevice ("Other In");
    const auto out = h.midi.addOutputDevice ("VT9R Out");
    auto& panel = h.open();

    EXPECT_EQ (panel.midiInputList()->getNumItems(), 2);
    EXPECT_EQ (panel.midiInputList()->getItemText (1), "Other In");
    EXPECT_EQ (panel.midiInputList()->getItemId (1), 2);
    EXPECT_EQ (panel.midiInputList()->getText(), "Keys In");
    EXPECT_EQ (panel.midiOutputList()->getText(), "VT9R Out");
    EXPECT_TRUE (h.midi.isStarted (in));
    EXPECT_EQ (h.sentTo (out), std::vector<Bytes> { attachOnWire });
    EXPECT_EQ (eventsOf (h), list ({ "open " + in, "open " + out }));
    EXPECT_EQ (panel.statusBox()->getText(), "");

    // Teardown: the input is stopped and closed before the output.
    h.close();
    EXPECT_EQ (eventsOf (h), list ({ "open " + in, "open " + out, "close " + in, "close " + out }));
    EXPECT_EQ (h.sentTo (out).size(), 1u) << "nothing is sent on the way out";
}

TEST (PanelDevices, SwitchingOutputsClosesTheOldOneFirstAndAttachesEachOpen)
{
    PanelHarness h;
    const auto a = h.midi.addOutputDevice ("A");
    const auto b = h.midi.addOutputDevice ("B");
    auto& panel = h.open();
    EXPECT_EQ (h.sentTo (a).size(), 1u);

    panel.midiOutputList()->setSelectedId (2); // as a user's choice: notified through the queue
    pumpMessages (50);
    EXPECT_EQ (eventsOf (h), list ({ "open " + a, "close " + a, "open " + b }));
    EXPECT_EQ (h.sentTo (b), std::vector<Bytes> { attachOnWire });

    panel.midiOutputList()->setSelectedId (1);
    pumpMessages (50);
    EXPECT_EQ (h.sentTo (a), (std::vector<Bytes> { attachOnWire, attachOnWire }));
    EXPECT_EQ (h.midi.getOpenCount (a), 2);
    EXPECT_FALSE (h.midi.isOpen (b));

    // Choosing the entry already chosen changes nothing.
    panel.midiOutputList()->setSelectedId (1);
    pumpMessages (50);
    EXPECT_EQ (h.midi.getOpenCount (a), 2);
    EXPECT_EQ (h.sentTo (a).size(), 2u);
}

TEST (PanelDevices, SwitchingInputsClosesTheOldOneFirst)
{
    PanelHarness h;
    const auto x = h.midi.addInputDevice ("X");
    const auto y = h.midi.addInputDevice ("Y");
    auto& panel = h.open();

    panel.midiInputList()->setSelectedId (2);
    pumpMessages (50);
    EXPECT_EQ (eventsOf (h), list ({ "open " + x, "close " + x, "open " + y }));
    EXPECT_TRUE (h.midi.isStarted (y));
    EXPECT_FALSE (h.midi.isOpen (x));

    panel.midiInputList()->setSelectedId (2);
    pumpMessages (50);
    EXPECT_EQ (h.midi.getOpenCount (y), 1);
}

TEST (PanelDevices, InputsWithoutOutputsOpenTheInputAndSendNothing)
{
    PanelHarness h;
    const auto in = h.midi.addInputDevice ("Only In");
    auto& panel = h.open();

    EXPECT_TRUE (h.midi.isStarted (in));
    EXPECT_EQ (panel.midiOutputList()->getNumItems(), 0);
    EXPECT_EQ (panel.midiOutputList()->getText(), "");
    EXPECT_EQ (panel.statusBox()->getText(), "") << "an empty list is not a failure";
}

TEST (PanelDevices, NoDevicesAtAllLeaveBothListsEmptyAndClosed)
{
    PanelHarness h;
    auto& panel = h.open();

    for (auto* list : { panel.midiInputList(), panel.midiOutputList() })
    {
        EXPECT_EQ (list->getNumItems(), 0);
        EXPECT_EQ (list->getText(), "");
        EXPECT_EQ (list->getTextWhenNoChoicesAvailable(), "(no choices)");
    }
    EXPECT_TRUE (eventsOf (h).isEmpty());
    EXPECT_EQ (panel.statusBox()->getText(), "");
}

TEST (PanelDevices, DevicesThatFailToOpenAreReportedAndNothingIsSent)
{
    struct Case
    {
        const char* name;
        bool inputFails, outputFails;
        const char* status;
    };
    for (auto c : { Case { "output", false, true, "Error : MIDI Out open failed" },
                    Case { "input", true, false, "Error : MIDI In open failed" } })
    {
        SCOPED_TRACE (c.name);
        PanelHarness h;
        const auto in = h.midi.addInputDevice ("In");
        const auto out = h.midi.addOutputDevice ("Out");
        h.midi.setOpenFails (in, c.inputFails);
        h.midi.setOpenFails (out, c.outputFails);
        auto& panel = h.open();

        EXPECT_EQ (panel.statusBox()->getText(), c.status);
        EXPECT_EQ (h.midi.isOpen (in), ! c.inputFails);
        EXPECT_EQ (h.midi.isOpen (out), ! c.outputFails);
        EXPECT_EQ (h.sentTo (out).size(), c.outputFails ? 0u : 1u);
        EXPECT_EQ (panel.midiOutputList()->getText(), "Out") << "the lists keep the chosen names";
        EXPECT_EQ (panel.midiInputList()->getText(), "In");
    }
}

TEST (PanelDevices, FailedOutputIsNotUsedByLaterSendersAndCanBeRetried)
{
    PanelHarness h;
    const auto a = h.midi.addOutputDevice ("A");
    const auto b = h.midi.addOutputDevice ("B");
    auto& panel = h.open();
    h.midi.setOpenFails (b, true);

    panel.midiOutputList()->setSelectedId (2);
    pumpMessages (50);
    EXPECT_FALSE (h.midi.isOpen (a)) << "the old output is closed even though the new one failed";
    EXPECT_EQ (panel.statusBox()->getText(), "Error : MIDI Out open failed");

    panel.destinationList()->setSelectedId (1);
    pumpMessages (20);
    panel.updateButton()->setEnabled (true);
    panel.updateButton()->triggerClick();
    pumpMessages (50);
    EXPECT_EQ (panel.statusBox()->getText(), "Error : No MIDI Out Device");
    EXPECT_TRUE (h.sentTo (b).empty());

    h.midi.setOpenFails (b, false);
    panel.midiOutputList()->setSelectedId (1);
    pumpMessages (50);
    panel.midiOutputList()->setSelectedId (2);
    pumpMessages (50);
    EXPECT_EQ (h.sentTo (b), std::vector<Bytes> { attachOnWire });
}

TEST (PanelDevices, ChoosingADestinationOpensAndClosesNothing)
{
    PanelHarness h;
    h.midi.addInputDevice ("In");
    h.midi.addOutputDevice ("Out");
    auto& panel = h.open();
    const auto before = eventsOf (h);

    for (int id : { 1, 2, 3 })
    {
        panel.destinationList()->setSelectedId (id);
        pumpMessages (20);
    }
    EXPECT_EQ (eventsOf (h), before);
    EXPECT_EQ (panel.statusBox()->getText(), "");
}
