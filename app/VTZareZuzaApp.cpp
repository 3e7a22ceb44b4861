// SPDX-License-Identifier: GPL-3.0-or-later
#include "VTZareZuzaApp.h"

#include "midi/MidiPorts.h"

VTZareZuzaApp::VTZareZuzaApp() = default;
VTZareZuzaApp::~VTZareZuzaApp() = default;

// Message thread. The command line is ignored on purpose.
void VTZareZuzaApp::initialise (const juce::String&)
{
    midiSystem = createMidiSystem();
    mainWindow = std::make_unique<VTZareZuzaAppWindow> (*midiSystem);
    mainWindow->centreWithSize (VTZareZuzaAppWindow::windowWidth, VTZareZuzaAppWindow::windowHeight);
    mainWindow->setVisible (true);

    if (auto* peer = mainWindow->getPeer())
        peer->toFront (true);

    mainWindow->setUsingNativeTitleBar (false);
}

// Message thread, after the loop has ended: the panel's teardown closes the devices.
void VTZareZuzaApp::shutdown()
{
    mainWindow.reset();
    midiSystem.reset();
}

const juce::String VTZareZuzaApp::getApplicationName()    { return "VT9R Tunewright v1.0"; }
const juce::String VTZareZuzaApp::getApplicationVersion() { return "1.0.0"; }
bool VTZareZuzaApp::moreThanOneInstanceAllowed()          { return true; }
void VTZareZuzaApp::anotherInstanceStarted (const juce::String&) {}
