// SPDX-License-Identifier: GPL-3.0-or-later
// Whole transfers from a real panel to the emulated VT9R, timed. Prints figures:
// the transfer time against its floor (256 pauses of 10 ms, plus the bytes on a
// 31250-baud cable in the cable model), and the longest stretch the message
// thread was blocked. Needs a display (run it under xvfb-run without one).
#include "app/VTZareZuzaAppWindow.h"
#include "emulator/Vt9rEmulator.h"
#include "midi/InProcessMidiSystem.h"
#include "ui/VTZareZuzaComponent.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace juce
{
// The framework's own loop step (juce_events): blocks until an event arrives and
// dispatches it, as the program's message loop does. runDispatchLoopUntil would
// add up to 1 ms of sleep whenever the queue is momentarily empty.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace
{
using tunewright::emulator::Vt9rEmulator;

// Message thread: notes the longest gap between ticks, i.e. how long the loop was held up.
class LoopWatch : private juce::Timer
{
public:
    LoopWatch() { startTimer (1); }
    void reset() { longest = 0; last = juce::Time::getMillisecondCounterHiRes(); }
    double longestGapMs() const { return longest; }

private:
    void timerCallback() override
    {
        const auto now = juce::Time::getMillisecondCounterHiRes();
        longest = std::max (longest, now - last);
        last = now;
    }

    double last = juce::Time::getMillisecondCounterHiRes();
    double longest = 0;
};

std::vector<uint8_t> demoSong()
{
    std::vector<uint8_t> f { 'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 0 };
    for (int i = 0; i < 1500; ++i)
    {
        const uint8_t key = uint8_t (40 + i % 40);
        for (uint8_t b : { uint8_t (0x83), uint8_t (0x60), uint8_t (0x90), key, uint8_t (0x64), uint8_t (0x00), key, uint8_t (0x00) })
            f.push_back (b);
    }
    for (uint8_t b : { 0x00, 0xFF, 0x2F, 0x00 })
        f.push_back (b);
    const auto trackLength = f.size() - 22;
    f[20] = uint8_t (trackLength >> 8);
    f[21] = uint8_t (trackLength);
    return f;
}

double runTransfer (Vt9rEmulator::Timing timing, LoopWatch& watch, double& longestBlockMs)
{
    tunewright::midi::InProcessMidiSystem midi;
    Vt9rEmulator emulator (midi);
    emulator.setTiming (timing);

    VTZareZuzaAppWindow window (midi);
    window.setVisible (true);
    auto& panel = *dynamic_cast<VTZareZuzaComponent*> (window.getContentComponent());
    juce::MessageManager::getInstance()->runDispatchLoopUntil (200);

    const auto song = demoSong();
    auto file = juce::File::createTempFile (".mid");
    file.replaceWithData (song.data(), song.size());
    panel.loadSourceFile (file);
    file.deleteFile();
    panel.destinationList()->setSelectedId (1);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);

    watch.reset();
    const auto start = juce::Time::getMillisecondCounterHiRes();
    panel.updateButton()->triggerClick();
    while (! emulator.hasSong (0) || panel.statusBox()->getText() != "Completed!")
    {
        juce::dispatchNextMessageOnSystemQueue (false);
        if (juce::Time::getMillisecondCounterHiRes() - start > 60000)
        {
            std::printf ("transfer did not complete\n");
            return -1;
        }
    }
    const auto elapsed = juce::Time::getMillisecondCounterHiRes() - start;
    longestBlockMs = watch.longestGapMs();
    return elapsed;
}
} // namespace

int main()
{
    juce::JUCEApplicationBase::createInstance = [] () -> juce::JUCEApplicationBase* { return nullptr; };
    juce::ScopedJuceInitialiser_GUI gui;
    LoopWatch watch;

    constexpr double pauseFloorMs = 256 * 10.0;
    // Per packet on the cable: the packet (83 bytes) out, the acknowledgement (7 bytes) back.
    const double cableFloorMs = pauseFloorMs + 256 * (83 + 7) * 0.32;

    struct Run { const char* name; Vt9rEmulator::Timing timing; double floorMs; };
    for (auto run : { Run { "emulator answers at once", Vt9rEmulator::Timing::immediate, pauseFloorMs },
                      Run { "31250-baud cable model", Vt9rEmulator::Timing::midiCable, cableFloorMs } })
    {
        std::vector<double> times, blocks;
        for (int i = 0; i < 3; ++i)
        {
            double block = 0;
            times.push_back (runTransfer (run.timing, watch, block));
            blocks.push_back (block);
        }
        std::sort (times.begin(), times.end());
        const auto median = times[1];
        std::printf ("%-26s transfer median %.0f ms (min %.0f, max %.0f) over 3 runs; floor %.0f ms; "
                     "our cost %.3f ms per packet (%.2f %% over the floor); longest message-thread block %.1f ms\n",
                     run.name, median, times.front(), times.back(), run.floorMs,
                     (median - run.floorMs) / 256.0, 100.0 * (median - run.floorMs) / run.floorMs,
                     *std::max_element (blocks.begin(), blocks.end()));
    }
    return 0;
}
