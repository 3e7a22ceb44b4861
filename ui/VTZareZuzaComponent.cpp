// SPDX-License-Identifier: GPL-3.0-or-later
#include "VTZareZuzaComponent.h"

#include "device/DeviceMessages.h"
#include "midi/MidiPorts.h"
#include "song/SongStore.h"

namespace
{
struct PaintedLabel
{
    const char* text;
    int x, y, w, h;
};

// Painted in this order, under the widgets.
constexpr PaintedLabel paintedLabels[] = {
    { "Update to :",        20, 229,  76, 30 },
    { "MIDI Out Device :",  17,  66, 124, 30 },
    { "Status : ",          20, 293,  60, 30 },
    { "MIDI In Device : ",  17,  10, 119, 30 },
    { "MIDI File :",        20, 125,  68, 30 },
};

std::unique_ptr<juce::TextButton> makeButton (juce::Component& parent, juce::Button::Listener& listener,
                                              const char* componentName, const char* text)
{
    auto button = std::make_unique<juce::TextButton> (componentName);
    parent.addAndMakeVisible (*button);
    button->setTooltip ({});
    button->setButtonText (text);
    button->addListener (&listener);
    return button;
}

std::unique_ptr<juce::ComboBox> makeList (juce::Component& parent, const char* componentName,
                                          const char* textWhenNothingSelected)
{
    auto list = std::make_unique<juce::ComboBox> (componentName);
    parent.addAndMakeVisible (*list);
    list->setEditableText (false);
    list->setJustificationType (juce::Justification::centredLeft);
    list->setTextWhenNothingSelected (textWhenNothingSelected);
    list->setTextWhenNoChoicesAvailable ("(no choices)");
    return list;
}

std::unique_ptr<juce::TextEditor> makeTextField (juce::Component& parent, bool caretVisible, const char* text)
{
    auto field = std::make_unique<juce::TextEditor> ("new text editor");
    parent.addAndMakeVisible (*field);
    field->setMultiLine (false);
    field->setReturnKeyStartsNewLine (false);
    field->setReadOnly (true);
    field->setScrollbarsShown (false);
    field->setCaretVisible (caretVisible);
    // JUCE 7 no longer ties the pointer to the caret setting; users see it there.
    field->setMouseCursor (caretVisible ? juce::MouseCursor::IBeamCursor : juce::MouseCursor::NormalCursor);
    field->setPopupMenuEnabled (true);
    field->setText (text);
    return field;
}
// A chosen file, read through the framework's file stream.
class FileSongSource final : public tunewright::song::SongSource
{
public:
    explicit FileSongSource (const juce::File& file) : stream (file) {}

    int64_t length() override { return stream.openedOk() ? stream.getTotalLength() : -1; }

    int64_t read (uint8_t* destination, int64_t count) override
    {
        if (! stream.openedOk())
            return -1;
        return stream.read (destination, (size_t) count);
    }

private:
    juce::FileInputStream stream;
};
} // namespace

// The panel's side of the transfer: its output, status box, slot list and packets.
// Called only with the message-thread lock held.
class VTZareZuzaComponent::PanelHandshakeHost final : public tunewright::device::HandshakeHost
{
public:
    explicit PanelHandshakeHost (VTZareZuzaComponent& p) : panel (p) {}

    bool send (const juce::MidiMessage& message) override
    {
        if (panel.midiOutput == nullptr)
            return false;
        panel.midiOutput->sendMessageNow (message);
        return true;
    }

    void setStatusText (const juce::String& text) override { panel.statusEditor->setText (text); }
    int chosenSlotItemId() override { return panel.comboBox_destsong->getSelectedId(); }
    const std::uint8_t* packetImage() override { return panel.songBuffers->packetImage.data(); }
    void pause (int milliseconds) override { juce::Thread::sleep (milliseconds); }

private:
    VTZareZuzaComponent& panel;
};

// Message thread, around every open and close of a port.
class VTZareZuzaComponent::PortChange
{
public:
    explicit PortChange (VTZareZuzaComponent& p) : panel (p)
    {
        panel.deliveriesMustYield = true;
        panel.deliveryLock.abort();
    }

    ~PortChange() { panel.deliveriesMustYield = false; }

private:
    VTZareZuzaComponent& panel;
    JUCE_DECLARE_NON_COPYABLE (PortChange)
};

// Message thread.
VTZareZuzaComponent::VTZareZuzaComponent (tunewright::midi::MidiSystem& midiSystem)
    : midi (midiSystem),
      songBuffers (std::make_unique<tunewright::song::SongStore>()),
      handshakeHost (std::make_unique<PanelHandshakeHost> (*this)),
      handshake (std::make_unique<tunewright::device::TransferHandshake> (*handshakeHost, transferState))
{
    button_searchfile = makeButton (*this, *this, "button_searchfile", "Open SMF");

    comboBox_destsong = makeList (*this, "comboBox_destsong", "(select SONG)");
    comboBox_destsong->addItem ("SONG 01", 1);
    comboBox_destsong->addItem ("SONG 02", 2);
    comboBox_destsong->addItem ("SONG 03", 3);
    comboBox_destsong->addListener (this);

    textButton_transmit = makeButton (*this, *this, "textButton_transmit", "Update");
    textButton_transmit->setEnabled (false);

    comboBox_MidiOutDevice = makeList (*this, "comboBox_MidiOutDevice", "");
    comboBox_MidiOutDevice->addListener (this);

    statusEditor = makeTextField (*this, true, "");

    comboBox_MidiInDevice = makeList (*this, "comboBox_MidiInDevice", "");
    comboBox_MidiInDevice->addListener (this);

    fileNameEditor = makeTextField (*this, false, "(press the button below)");

    setSize (290, 400);
    fillDeviceLists();
}

// Message thread, after the loop has ended.
VTZareZuzaComponent::~VTZareZuzaComponent()
{
    closeInput();
    {
        const PortChange change (*this);
        midiOutput.reset();
    }

    button_searchfile.reset();
    comboBox_destsong.reset();
    textButton_transmit.reset();
    comboBox_MidiOutDevice.reset();
    statusEditor.reset();
    comboBox_MidiInDevice.reset();
    fileNameEditor.reset();
}

void VTZareZuzaComponent::paint (juce::Graphics& g)
{
    // Fixed points: the gradient does not follow the panel's size.
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff4899d5), 144.0f, 176.0f,
                                             juce::Colour (0xffb6d0e0), 328.0f, 432.0f, false));
    g.fillAll();

    for (const auto& label : paintedLabels)
    {
        g.setColour (juce::Colour (0xff000000));
        g.setFont (juce::Font (15.0f, juce::Font::plain));
        g.drawText (label.text, label.x, label.y, label.w, label.h, juce::Justification::centred, true);
    }
}

void VTZareZuzaComponent::resized()
{
    button_searchfile->setBounds (96, 192, 104, 32);
    comboBox_destsong->setBounds (32, 256, 112, 24);
    textButton_transmit->setBounds (160, 252, 104, 32);
    comboBox_MidiOutDevice->setBounds (32, 96, 232, 24);
    statusEditor->setBounds (32, 320, 224, 24);
    comboBox_MidiInDevice->setBounds (32, 40, 232, 24);
    fileNameEditor->setBounds (32, 152, 232, 24);
}

// MIDI input thread, inside the input's delivery lock. The whole handling runs
// with the message-thread lock, so it never overlaps widget work or a load.
void VTZareZuzaComponent::handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message)
{
    for (;;)
    {
        if (inputClosing)
            return; // the message goes with its input

        if (deliveriesMustYield)
        {
            handOverToMessageThread (message);
            return;
        }

        if (deliveryLock.tryEnter())
            break;

        // A failed wait is an abort (or a stale one), unless the loop is ending.
        if (juce::MessageManager::getInstance()->hasStopMessageBeenSent())
            return;
    }

    handshake->handleIncoming (message);
    deliveryLock.exit();
}

// MIDI input thread. Queued behind the messages already waiting for the
// message thread, so the handling keeps the order of arrival.
void VTZareZuzaComponent::handOverToMessageThread (const juce::MidiMessage& message)
{
    juce::MessageManager::callAsync ([safeThis = juce::Component::SafePointer<VTZareZuzaComponent> (this), message] {
        if (safeThis != nullptr && safeThis->midiInput != nullptr && ! safeThis->inputClosing)
            safeThis->handshake->handleIncoming (message);
    });
}

// Message thread.
void VTZareZuzaComponent::buttonClicked (juce::Button* button)
{
    if (button == button_searchfile.get())
        openSourceFile();
    else if (button == textButton_transmit.get())
        handshake->updatePressed();
}

// Message thread.
void VTZareZuzaComponent::comboBoxChanged (juce::ComboBox* list)
{
    if (list == comboBox_destsong.get())
        return; // read when the transfer needs it
    if (list == comboBox_MidiOutDevice.get())
        chooseOutput();
    else if (list == comboBox_MidiInDevice.get())
        chooseInput();
}

// Message thread, once, while the panel is built. The selections notify through
// the message queue, so the devices open once the loop runs: input first.
void VTZareZuzaComponent::fillDeviceLists()
{
    auto fill = [] (juce::ComboBox& list, const juce::Array<juce::MidiDeviceInfo>& devices)
    {
        for (int i = 0; i < devices.size(); ++i)
            list.addItem (devices.getReference (i).name, i + 1);
        // An empty list would still notify for an id it does not have.
        if (! devices.isEmpty())
            list.setSelectedId (1, juce::sendNotificationAsync);
    };

    inputDevices = midi.getInputDevices();
    fill (*comboBox_MidiInDevice, inputDevices);
    outputDevices = midi.getOutputDevices();
    fill (*comboBox_MidiOutDevice, outputDevices);
}

// Message thread. The old output closes before the new one opens, so the same
// device can be chosen again.
void VTZareZuzaComponent::chooseOutput()
{
    const auto id = comboBox_MidiOutDevice->getSelectedId();
    {
        const PortChange change (*this);
        midiOutput.reset();

        // Entries open by the identifier read at start-up, never by a position
        // in a list that may have changed since.
        if (id >= 1 && id <= outputDevices.size())
            midiOutput = midi.openOutput (outputDevices.getReference (id - 1).identifier);
    }

    if (midiOutput == nullptr)
    {
        statusEditor->setText ("Error : MIDI Out open failed");
        return;
    }

    midiOutput->sendMessageNow (tunewright::device::toSysEx (tunewright::device::attachMessage()));
}

// Message thread.
void VTZareZuzaComponent::chooseInput()
{
    const auto id = comboBox_MidiInDevice->getSelectedId();
    closeInput();

    if (id >= 1 && id <= inputDevices.size())
    {
        const PortChange change (*this);
        midiInput = midi.openInput (inputDevices.getReference (id - 1).identifier, *this);
    }

    if (midiInput == nullptr)
    {
        statusEditor->setText ("Error : MIDI In open failed");
        return;
    }

    midiInput->start();
}

// Message thread, holding its lock. Stopping waits for a delivery in progress,
// and a delivery may be waiting for this very lock: tell it to give up first.
void VTZareZuzaComponent::closeInput()
{
    if (midiInput == nullptr)
        return;

    inputClosing = true;
    {
        const PortChange change (*this);
        midiInput->stop();
        midiInput.reset();
    }
    inputClosing = false;
}

// Message thread: the file chooser, then the load.
void VTZareZuzaComponent::openSourceFile()
{
    juce::FileChooser chooser ("Open Source file...", juce::File::getCurrentWorkingDirectory(), "*.mid", true);
    if (! chooser.browseForFileToOpen())
        return;

    loadSourceFile (chooser.getResult());
}

// Message thread.
void VTZareZuzaComponent::loadSourceFile (const juce::File& file)
{
    namespace song = tunewright::song;

    // The file is closed before anything is shown, the alert box included.
    const auto outcome = [&] {
        FileSongSource source (file);
        return song::loadSong (*songBuffers, source, { transferState.packetsSent, runningChecksum });
    }();

    if (outcome.passedSizeTest())
        fileNameEditor->setText (file.getFileName());
    else
        juce::AlertWindow::showMessageBox (juce::MessageBoxIconType::InfoIcon,
                                           "Size Error : ", song::sizeRefusalMessage);

    statusEditor->setText (song::statusText (outcome));
    textButton_transmit->setEnabled (outcome.succeeded());
}
