// SPDX-License-Identifier: GPL-3.0-or-later
// Loading song files into a real panel.
#include "PanelHarness.h"
#include "song/SmfFixtures.h"
#include "song/SongStore.h"

using namespace tunewright::test;
using namespace tunewright::song::fixtures;

namespace
{
class PanelLoading : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = juce::File::createTempFile ("tunewright-load");
        ASSERT_TRUE (dir.createDirectory());
        h.open();
    }

    void TearDown() override { dir.deleteRecursively(); }

    juce::File write (const juce::String& name, const Bytes& bytes)
    {
        auto file = dir.getChildFile (name);
        EXPECT_TRUE (file.replaceWithData (bytes.data(), bytes.size()));
        return file;
    }

    VTZareZuzaComponent& panel() { return h.panel(); }
    juce::String status() { return panel().statusBox()->getText(); }
    bool updateEnabled() { return panel().updateButton()->isEnabled(); }
    const tunewright::song::PacketImage& packets() { return panel().songStore().packetImage; }

    PanelHarness h;
    juce::File dir;
};

const Bytes endOfTrack { 0x00, 0xFF, 0x2F, 0x00 };
const Bytes goodSong = smf (Bytes { 0x00, 0x90, 0x3C, 0x64, 0x30, 0x80, 0x3C, 0x00 } + endOfTrack);

// A file of exactly `size` bytes: a short song, then bytes after its end of track.
Bytes songOfSize (size_t size)
{
    auto bytes = smf (endOfTrack);
    bytes.resize (size, 0x55);
    return bytes;
}
} // namespace

TEST_F (PanelLoading, EachOutcomeShowsItsTextAndSetsUpdate)
{
    struct Case
    {
        const char* name;
        Bytes file;
        const char* status;
        bool update;
    };
    const Case cases[] = {
        { "good song", goodSong, "Ready ", true },
        { "largest loadable file", songOfSize (24575), "Ready ", true },
        { "not an SMF", Bytes { 'R', 'I', 'F', 'F', 0, 0, 0, 0 }, "Error : Not an SMF.", false },
        { "format 1", headerChunk (96, 1) + trackChunkHeader (4) + endOfTrack, "SMF Format1 : Not supported", false },
        { "track too long", headerChunk (48) + trackChunkHeader (20480) + endOfTrack, "Error : SONG Size over 16KByte", false },
        { "delta-time of four bytes", smf (Bytes { 0x80, 0x80, 0x80, 0x00, 0xFF, 0x2F, 0x00 }), "Error(DeltaTime?)", false },
        { "no track chunk", headerChunk (48) + Bytes { 'X', 'T', 'r', 'k', 0, 0, 0, 4 } + endOfTrack, "Unknown Error...", false },
        { "cut off in an event", firstBytes (goodSong, 24), "Error : File truncated", false },
        { "division under 48", smf (endOfTrack, 24), "Error : Division under 48", false },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto file = write (juce::String (c.name).replace (" ", "_") + ".mid", c.file);
        panel().loadSourceFile (file);
        EXPECT_EQ (status(), c.status);
        EXPECT_EQ (updateEnabled(), c.update);
        EXPECT_EQ (panel().fileNameBox()->getText(), file.getFileName()) << "the name only, no folder";
    }
}

TEST_F (PanelLoading, SuccessRebuildsPacketsAndFailureKeepsThem)
{
    panel().loadSourceFile (write ("bad.mid", Bytes { 'n', 'o', 'p', 'e' }));
    EXPECT_EQ (panel().getPacketsSent(), 0) << "a failed load leaves the counter alone";
    EXPECT_TRUE (std::all_of (packets().begin(), packets().end(), [] (uint8_t b) { return b == 0; }));
    EXPECT_FALSE (updateEnabled());

    panel().loadSourceFile (write ("good.mid", goodSong));
    EXPECT_EQ (panel().getPacketsSent(), 256);
    EXPECT_TRUE (updateEnabled());
    const auto packed = packets();
    // Packet 0 carries the file's first bytes: "MThd" in its first group.
    EXPECT_EQ (Bytes (packed.begin(), packed.begin() + 11),
               (Bytes { 0x42, 0x23, 0x73, 0x06, 0x00, 0x00, 0x00, 'M', 'T', 'h', 'd' }));

    panel().loadSourceFile (write ("bad-after-good.mid", smf (endOfTrack, 12)));
    EXPECT_FALSE (updateEnabled());
    EXPECT_EQ (packets(), packed);
    EXPECT_EQ (panel().getPacketsSent(), 256);

    panel().loadSourceFile (write ("good-again.mid", goodSong));
    EXPECT_TRUE (updateEnabled());
}

TEST_F (PanelLoading, OversizedFileIsRefusedWithAnAlertAndDisablesUpdate)
{
    panel().loadSourceFile (write ("good.mid", goodSong));
    const auto packed = packets();
    ASSERT_TRUE (updateEnabled());

    struct Seen
    {
        juce::String title, message;
        juce::MessageBoxIconType icon = juce::MessageBoxIconType::NoIcon;
        int buttons = 0;
        juce::String button, statusWhileShown;
        bool shown = false;
    } seen;

    // The alert is modal: look at it from the message loop it runs, then press "ok".
    ModalAnswer<juce::AlertWindow> answer ([this, &seen] (juce::AlertWindow& alert) {
        seen.shown = true;
        seen.statusWhileShown = status();
        seen.title = alert.getName();
        seen.icon = alert.getAlertType();
        seen.buttons = alert.getNumButtons();
        juce::Button* ok = nullptr;
        for (auto* child : alert.getChildren())
        {
            if (auto* label = dynamic_cast<juce::Label*> (child))
                seen.message = label->getText();
            if (auto* button = dynamic_cast<juce::TextButton*> (child))
                ok = button;
        }
        seen.button = ok != nullptr ? ok->getButtonText() : juce::String();
        if (ok != nullptr)
            ok->triggerClick();
        else
            alert.exitModalState (0);
    });
    panel().loadSourceFile (write ("huge.mid", songOfSize (24576)));

    ASSERT_TRUE (seen.shown) << "no alert box";
    EXPECT_EQ (seen.title, "Size Error : ");
    // The framework's accessible label reads the title, then the message.
    EXPECT_TRUE (seen.message.endsWith (". Source File Size Over...")) << seen.message;
    EXPECT_EQ (seen.icon, juce::MessageBoxIconType::InfoIcon);
    EXPECT_EQ (seen.buttons, 1);
    EXPECT_EQ (seen.button.toLowerCase(), "ok") << "the framework's default button";
    EXPECT_EQ (seen.statusWhileShown, "Ready ") << "the alert comes first";
    EXPECT_EQ (status(), "Error..");
    EXPECT_FALSE (updateEnabled());
    EXPECT_EQ (panel().fileNameBox()->getText(), "good.mid") << "a refused file leaves the earlier name";
    EXPECT_EQ (packets(), packed);
}

TEST_F (PanelLoading, FilesThatCannotBeReadInFullConvertNothing)
{
    panel().loadSourceFile (write ("good.mid", goodSong));
    const auto packed = packets();

    auto folder = dir.getChildFile ("a-folder.mid"); // opens, but every read fails
    ASSERT_TRUE (folder.createDirectory());
    for (auto file : { folder, dir.getChildFile ("missing.mid") })
    {
        SCOPED_TRACE (file.getFileName());
        panel().loadSourceFile (file);
        EXPECT_EQ (status(), "Error : File read failed");
        EXPECT_FALSE (updateEnabled());
        EXPECT_EQ (packets(), packed);
    }
}

TEST_F (PanelLoading, CancellingTheChooserChangesNothing)
{
    if (juce::FileChooser::isPlatformDialogAvailable())
        GTEST_SKIP() << "a desktop file dialog is installed; this test drives the framework's own";

    panel().loadSourceFile (write ("good.mid", goodSong));
    panel().statusBox()->setText ("Ready ");

    juce::String title;
    ModalAnswer<juce::FileChooserDialogBox> answer ([&title] (juce::FileChooserDialogBox& box) {
        title = box.getName();
        box.exitModalState (0);
    });
    panel().openButton()->triggerClick();
    pumpUntil ([&] { return title.isNotEmpty(); }, 5000);

    EXPECT_EQ (title, "Open Source file...");
    EXPECT_EQ (status(), "Ready ");
    EXPECT_TRUE (updateEnabled());
    EXPECT_EQ (panel().fileNameBox()->getText(), "good.mid");
}
