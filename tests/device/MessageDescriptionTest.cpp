// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/MessageDescription.h"
#include "MessageBytes.h"

#include <gtest/gtest.h>

#include <string>

namespace tunewright::device
{
namespace
{
using test::Bytes;
using test::messageOf;

struct DescribeCase
{
    const char* name;
    Bytes bytes;
    const char* text;
};

std::ostream& operator<< (std::ostream& os, const DescribeCase& c) { return os << c.name; }

class Describe : public ::testing::TestWithParam<DescribeCase>
{
};

TEST_P (Describe, Message)
{
    const auto& c = GetParam();
    EXPECT_EQ (describeMidiMessage (messageOf (c.bytes)).toStdString(), std::string (c.text));
}

const DescribeCase describeCases[] = {
    // Notes: on and off alike, channel not shown.
    { "NoteOn", { 0x90, 0x3c, 0x64 }, "Note#: 60(C4), Vel:100" },
    { "NoteOnVelocityZero", { 0x90, 0x3c, 0x00 }, "Note#: 60(C4), Vel:  0" },
    { "NoteOff", { 0x80, 0x3c, 0x00 }, "Note#: 60(C4), Vel:  0" },
    { "NoteOffChannel2", { 0x81, 0x3c, 0x40 }, "Note#: 60(C4), Vel: 64" },
    { "NoteOnChannel16", { 0x9f, 0x45, 0x7f }, "Note#: 69(A4), Vel:127" },
    { "LowestNote", { 0x90, 0x00, 0x01 }, "Note#:  0(C-1), Vel:  1" },
    { "HighestNote", { 0x8f, 0x7f, 0x7f }, "Note#:127(G9), Vel:127" },
    { "SharpNote", { 0x90, 0x3d, 0x10 }, "Note#: 61(C#4), Vel: 16" },
    { "LastNoteOfOctave", { 0x90, 0x0b, 0x05 }, "Note#: 11(B-1), Vel:  5" },
    { "NoteAbove127HasNoName", { 0x90, 0x80, 0xff }, "Note#:128(), Vel:255" },
    { "NoteOnMissingVelocity", { 0x90, 0x3c }, "Note#: 60(C4), Vel:  0" },
    { "NoteOnStatusOnly", { 0x90 }, "Note#:  0(C-1), Vel:  0" },

    // Controllers: the framework's names, empty for numbers without one.
    { "ControllerVolume", { 0xb0, 0x07, 0x64 }, "CC#:  7(Volume (coarse)), Val:100" },
    { "ControllerWithoutName", { 0xb0, 0x03, 0x10 }, "CC#:  3(), Val: 16" },
    { "ControllerZero", { 0xb0, 0x00, 0x00 }, "CC#:  0(Bank Select), Val:  0" },
    { "ControllerModulation", { 0xb3, 0x01, 0x40 }, "CC#:  1(Modulation Wheel (coarse)), Val: 64" },
    { "ControllerPan", { 0xb0, 0x0a, 0x40 }, "CC#: 10(Pan position (coarse)), Val: 64" },
    { "ControllerFineVolume", { 0xb0, 0x27, 0x00 }, "CC#: 39(Volume (fine)), Val:  0" },
    { "ControllerHoldPedal", { 0xb0, 0x40, 0x7f }, "CC#: 64(Hold Pedal (on/off)), Val:127" },
    { "ControllerReverb", { 0xb0, 0x5b, 0x28 }, "CC#: 91(Reverb Level), Val: 40" },
    { "ControllerUnnamedGap", { 0xb0, 0x66, 0x01 }, "CC#:102(), Val:  1" },
    { "ControllerAllControllersOff", { 0xb0, 0x79, 0x00 }, "CC#:121(All Controllers Off), Val:  0" },
    { "ControllerAllNotesOff", { 0xb0, 0x7b, 0x00 }, "CC#:123(All Notes Off), Val:  0" },
    { "Controller127Channel16", { 0xbf, 0x7f, 0x7f }, "CC#:127(Poly Operation), Val:127" },
    { "ControllerAbove127", { 0xb0, 0x80, 0x00 }, "CC#:128(), Val:  0" },

    // Program changes: General MIDI program p + 1.
    { "ProgramZero", { 0xc0, 0x00 }, "PC#:  0(GM Acoustic Grand Piano)" },
    { "Program127Channel6", { 0xc5, 0x7f }, "PC#:127(GM Gunshot)" },
    { "ProgramViolin", { 0xcf, 0x28 }, "PC#: 40(GM Violin)" },
    { "ProgramAbove127", { 0xc0, 0x80 }, "PC#:128(GM )" },
    { "ProgramMissingNumber", { 0xc0 }, "PC#:  0(GM Acoustic Grand Piano)" },

    { "PolyPressure", { 0xa0, 0x45, 0x20 }, "Note#: 69(A4), Val: 32" },
    { "PolyPressureBounds", { 0xaf, 0x00, 0x7f }, "Note#:  0(C-1), Val:127" },

    { "ChannelPressure", { 0xd0, 0x40 }, "Val: 64" },
    { "ChannelPressureZero", { 0xdf, 0x00 }, "Val:  0" },
    { "ChannelPressure127", { 0xd3, 0x7f }, "Val:127" },

    // Pitch bend, centred.
    { "PitchBendCentre", { 0xe0, 0x00, 0x40 }, "Val:  0" },
    { "PitchBendLowest", { 0xe0, 0x00, 0x00 }, "Val:-8192" },
    { "PitchBendHighest", { 0xe0, 0x7f, 0x7f }, "Val:8191" },
    { "PitchBendJustAbove", { 0xef, 0x01, 0x40 }, "Val:  1" },
    { "PitchBendJustBelow", { 0xe0, 0x7f, 0x3f }, "Val: -1" },
    { "PitchBendLsbWeighsOne", { 0xe0, 0x64, 0x40 }, "Val:100" },
    { "PitchBendMissingMsb", { 0xe0, 0x10 }, "Val:-8176" },

    // SysEx: the body in lowercase hex.
    { "OtherDeviceMessage", { 0xf0, 0x42, 0x23, 0x73, 0x02, 0x01, 0xf7 }, "42 23 73 02 01" },
    { "OtherDeviceMessageLowercase", { 0xf0, 0x42, 0x23, 0x73, 0x7f, 0x1a, 0xf7 }, "42 23 73 7f 1a" },
    { "SysExOneByte", { 0xf0, 0x7e, 0xf7 }, "7e" },
    { "SysExEmpty", { 0xf0, 0xf7 }, "" },
    { "SysExOnlyF0", { 0xf0 }, "" },
    { "SysExCutOffLosesLastByte", { 0xf0, 0x42, 0x23 }, "42" },

    // System messages: every byte.
    { "Clock", { 0xf8 }, "f8" },
    { "SongPosition", { 0xf2, 0x10, 0x20 }, "f2 10 20" },
    { "TimeCode", { 0xf1, 0x0a }, "f1 0a" },
    { "Reset", { 0xff }, "ff" },
    { "EndOfExclusiveAlone", { 0xf7 }, "f7" },

    // Not deliverable by an input, still described without reading outside.
    { "DataByteFirst", { 0x3c, 0x64 }, "3c 64" },
    { "NoBytes", {}, "" },
};

INSTANTIATE_TEST_SUITE_P (MessageDescription, Describe, ::testing::ValuesIn (describeCases),
                          [] (const auto& param) { return std::string (param.param.name); });

} // namespace
} // namespace tunewright::device
