// SPDX-License-Identifier: GPL-3.0-or-later
#include "VTZareZuzaAppWindow.h"

#include "AppIcon.h"
#include "ui/VTZareZuzaComponent.h"

VTZareZuzaAppWindow::VTZareZuzaAppWindow (tunewright::midi::MidiSystem& midiSystem)
    : DocumentWindow ("VT9R Tunewright v1.0",
                      juce::Colour (0xff8090b0),
                      DocumentWindow::allButtons,
                      true)
{
    setResizable (false, false);
    setTitleBarHeight (titleBarHeight);
    setContentOwned (new VTZareZuzaComponent (midiSystem), false);

    // The window manager shows this in task bars and switchers.
    if (auto* peer = getPeer())
        peer->setIcon (tunewright::appIcon (128));
}

VTZareZuzaAppWindow::~VTZareZuzaAppWindow() = default;

// Message thread: the close button ends the message loop; shut-down deletes us.
void VTZareZuzaAppWindow::closeButtonPressed()
{
    if (auto* app = juce::JUCEApplication::getInstance())
        app->systemRequestedQuit();
}
