// SPDX-License-Identifier: GPL-3.0-or-later
// The application object, its window and the main panel, in a real window.
#include "app/VTZareZuzaApp.h"
#include "midi/InProcessMidiSystem.h"
#include "support/GuiTestSupport.h"
#include "ui/VTZareZuzaComponent.h"

#include <gtest/gtest.h>

#include <cmath>

using tunewright::test::pumpMessages;

// The application under test starts with no MIDI devices.
std::unique_ptr<tunewright::midi::MidiSystem> createMidiSystem()
{
    return std::make_unique<tunewright::midi::InProcessMidiSystem>();
}

namespace
{
// Starts the application object as the runner would, and shuts it down after.
class RunningApp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app = std::make_unique<VTZareZuzaApp>();
        app->initialise ("--ignored --arguments");
        pumpMessages (200);
        window = dynamic_cast<VTZareZuzaAppWindow*> (juce::TopLevelWindow::getTopLevelWindow (0));
        ASSERT_NE (window, nullptr);
        panel = dynamic_cast<VTZareZuzaComponent*> (window->getContentComponent());
        ASSERT_NE (panel, nullptr);
    }

    void TearDown() override
    {
        app->shutdown();
        app.reset();
        pumpMessages (20);
    }

    std::unique_ptr<VTZareZuzaApp> app;
    VTZareZuzaAppWindow* window = nullptr;
    VTZareZuzaComponent* panel = nullptr;
};

juce::Colour gradientAt (float x, float y)
{
    const juce::Point<float> p1 { 144.0f, 176.0f }, p2 { 328.0f, 432.0f };
    const auto d = p2 - p1;
    const auto t = juce::jlimit (0.0f, 1.0f, ((x - p1.x) * d.x + (y - p1.y) * d.y) / (d.x * d.x + d.y * d.y));
    return juce::Colour (0xff4899d5).interpolatedWith (juce::Colour (0xffb6d0e0), t);
}

bool near (juce::Colour a, juce::Colour b, int tolerance = 3)
{
    return std::abs (a.getRed() - b.getRed()) <= tolerance
        && std::abs (a.getGreen() - b.getGreen()) <= tolerance
        && std::abs (a.getBlue() - b.getBlue()) <= tolerance;
}
} // namespace

TEST_F (RunningApp, ShellAndWindowAreSetUpAsUsersSeeThem)
{
    EXPECT_EQ (app->getApplicationName(), "VT9R Tunewright v1.0");
    EXPECT_EQ (app->getApplicationVersion(), "1.0.0");
    EXPECT_TRUE (app->moreThanOneInstanceAllowed());
    EXPECT_EQ (juce::TopLevelWindow::getNumTopLevelWindows(), 1);

    EXPECT_EQ (window->getName(), "VT9R Tunewright v1.0");
    EXPECT_TRUE (window->isVisible());
    EXPECT_TRUE (window->isOnDesktop());
    EXPECT_EQ (window->getBackgroundColour(), juce::Colour (0xff8090b0));
    EXPECT_FALSE (window->isUsingNativeTitleBar());
    EXPECT_EQ (window->getTitleBarHeight(), 24);
    EXPECT_NE (window->getCloseButton(), nullptr);
    EXPECT_NE (window->getMinimiseButton(), nullptr);
    EXPECT_NE (window->getMaximiseButton(), nullptr);
    EXPECT_FALSE (window->isResizable());
    EXPECT_EQ (window->getPeer()->getStyleFlags() & juce::ComponentPeer::windowIsResizable, 0);

    const auto bounds = window->getScreenBounds();
    EXPECT_EQ (bounds.getWidth(), 290);
    EXPECT_EQ (bounds.getHeight(), 400);
    const auto screen = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    EXPECT_NEAR (bounds.getCentreX(), screen.getCentreX(), 1);
    EXPECT_NEAR (bounds.getCentreY(), screen.getCentreY(), 1);

    EXPECT_EQ (panel->getBounds(), juce::Rectangle<int> (1, 25, 288, 374));
}

TEST_F (RunningApp, EveryWidgetHasItsClassNameTextStateAndPlace)
{
    struct Row
    {
        const char* what;
        juce::Component* widget;
        const char* componentName;
        juce::Rectangle<int> bounds;
        bool enabled;
    };
    const Row rows[] = {
        { "Open SMF button",   panel->openButton(),      "button_searchfile",      { 96, 192, 104, 32 }, true },
        { "destination list",  panel->destinationList(), "comboBox_destsong",      { 32, 256, 112, 24 }, true },
        { "Update button",     panel->updateButton(),    "textButton_transmit",    { 160, 252, 104, 32 }, false },
        { "MIDI output list",  panel->midiOutputList(),  "comboBox_MidiOutDevice", { 32, 96, 232, 24 }, true },
        { "status box",        panel->statusBox(),       "new text editor",        { 32, 320, 224, 24 }, true },
        { "MIDI input list",   panel->midiInputList(),   "comboBox_MidiInDevice",  { 32, 40, 232, 24 }, true },
        { "file name box",     panel->fileNameBox(),     "new text editor",        { 32, 152, 232, 24 }, true },
    };

    ASSERT_EQ (panel->getNumChildComponents(), 7);
    for (int i = 0; i < 7; ++i)
    {
        SCOPED_TRACE (rows[i].what);
        EXPECT_EQ (panel->getChildComponent (i), rows[i].widget) << "created in this order, each in front";
        EXPECT_EQ (rows[i].widget->getName(), rows[i].componentName);
        EXPECT_EQ (rows[i].widget->getBounds(), rows[i].bounds);
        EXPECT_EQ (rows[i].widget->isEnabled(), rows[i].enabled);
        EXPECT_TRUE (rows[i].widget->isVisible());
    }

    EXPECT_EQ (panel->openButton()->getButtonText(), "Open SMF");
    EXPECT_EQ (panel->updateButton()->getButtonText(), "Update");

    auto* dest = panel->destinationList();
    ASSERT_EQ (dest->getNumItems(), 3);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ (dest->getItemText (i), juce::String::formatted ("SONG 0%d", i + 1));
        EXPECT_EQ (dest->getItemId (i), i + 1);
    }
    EXPECT_EQ (dest->getSelectedId(), 0);
    EXPECT_EQ (dest->getTextWhenNothingSelected(), "(select SONG)");

    for (auto* list : { panel->destinationList(), panel->midiOutputList(), panel->midiInputList() })
    {
        SCOPED_TRACE (list->getName().toStdString());
        EXPECT_FALSE (list->isTextEditable());
        EXPECT_EQ (list->getJustificationType().getFlags(), juce::Justification::centredLeft);
        EXPECT_EQ (list->getTextWhenNoChoicesAvailable(), "(no choices)");
    }
    EXPECT_EQ (panel->midiOutputList()->getTextWhenNothingSelected(), "");
    EXPECT_EQ (panel->midiInputList()->getTextWhenNothingSelected(), "");

    struct Field
    {
        juce::TextEditor* editor;
        const char* text;
        juce::MouseCursor::StandardCursorType cursor;
    };
    for (auto field : { Field { panel->statusBox(), "", juce::MouseCursor::IBeamCursor },
                        Field { panel->fileNameBox(), "(press the button below)", juce::MouseCursor::NormalCursor } })
    {
        SCOPED_TRACE (field.text);
        EXPECT_EQ (field.editor->getText(), field.text);
        EXPECT_FALSE (field.editor->isMultiLine());
        EXPECT_FALSE (field.editor->getReturnKeyStartsNewLine());
        EXPECT_TRUE (field.editor->isReadOnly());
        EXPECT_FALSE (field.editor->isCaretVisible()) << "read-only fields show no caret";
        EXPECT_TRUE (field.editor->isPopupMenuEnabled());
        EXPECT_EQ (field.editor->getMouseCursor(), juce::MouseCursor (field.cursor));
    }
}

TEST_F (RunningApp, PaintedWindowShowsGradientLabelsAndWidgetsInPlace)
{
    const auto shot = window->createComponentSnapshot (window->getLocalBounds(), true, 1.0f);
    tunewright::test::savePng (shot, "main-window.png");
    ASSERT_EQ (shot.getWidth(), 290);
    ASSERT_EQ (shot.getHeight(), 400);

    // Window pixel of a panel point.
    auto pixel = [&] (int x, int y) { return shot.getPixelAt (x + 1, y + 25); };

    // Bare panel, away from widgets and labels: the fixed gradient.
    for (auto p : { juce::Point<int> { 5, 5 }, { 280, 140 }, { 150, 300 }, { 10, 360 }, { 280, 360 }, { 270, 200 } })
    {
        SCOPED_TRACE (p.toString().toStdString());
        EXPECT_TRUE (near (pixel (p.x, p.y), gradientAt ((float) p.x, (float) p.y)))
            << pixel (p.x, p.y).toDisplayString (false) << " vs " << gradientAt ((float) p.x, (float) p.y).toDisplayString (false);
    }

    // Each label leaves black text in the part of its rectangle no widget covers.
    struct Label { const char* text; juce::Rectangle<int> visible; };
    for (auto label : { Label { "Update to :", { 20, 229, 76, 27 } },
                        Label { "MIDI Out Device :", { 17, 66, 124, 30 } },
                        Label { "Status : ", { 20, 293, 60, 27 } },
                        Label { "MIDI In Device : ", { 17, 10, 119, 30 } },
                        Label { "MIDI File :", { 20, 125, 68, 27 } } })
    {
        SCOPED_TRACE (label.text);
        int dark = 0;
        for (int y = label.visible.getY(); y < label.visible.getBottom(); ++y)
            for (int x = label.visible.getX(); x < label.visible.getRight(); ++x)
                dark += pixel (x, y).getBrightness() < 0.15f ? 1 : 0;
        EXPECT_GT (dark, 40);
    }

    // Widgets sit exactly in their rectangles: inside differs from the bare
    // gradient, the pixel just outside each edge is the gradient.
    for (auto* widget : panel->getChildren())
    {
        SCOPED_TRACE (widget->getName().toStdString());
        const auto b = widget->getBounds();
        const auto c = b.getCentre();
        EXPECT_FALSE (near (pixel (c.x, b.getY() + 3), gradientAt ((float) c.x, (float) b.getY() + 3), 12));
        for (auto outside : { juce::Point<int> { b.getX() - 2, c.y }, { b.getRight() + 1, c.y } })
            EXPECT_TRUE (near (pixel (outside.x, outside.y), gradientAt ((float) outside.x, (float) outside.y), 6))
                << "at " << outside.toString();
    }
}
