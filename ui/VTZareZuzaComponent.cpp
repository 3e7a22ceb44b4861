// SPDX-License-Identifier: GPL-3.0-or-later
#include "VTZareZuzaComponent.h"

#include "midi/MidiPorts.h"

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
} // namespace

// Message thread.
VTZareZuzaComponent::VTZareZuzaComponent (tunewright::midi::MidiSystem& midiSystem)
    : midi (midiSystem)
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

    transmitting = false;
    packetsSent = 0;
}

// Message thread, after the loop has ended.
VTZareZuzaComponent::~VTZareZuzaComponent()
{
    if (midiInput != nullptr)
    {
        midiInput->stop();
        midiInput.reset();
    }

    midiOutput.reset();

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

// MIDI input thread.
void VTZareZuzaComponent::handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage&)
{
}

// Message thread.
void VTZareZuzaComponent::buttonClicked (juce::Button*)
{
}

// Message thread.
void VTZareZuzaComponent::comboBoxChanged (juce::ComboBox*)
{
}
