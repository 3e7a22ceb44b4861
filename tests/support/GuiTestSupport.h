// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace tunewright::test
{
// Runs the message loop for a while, as the program's own loop would.
inline void pumpMessages (int milliseconds = 50)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

// Runs the message loop until the condition holds or the time is up.
inline bool pumpUntil (const std::function<bool()>& condition, int timeoutMs = 5000)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;
    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;
        pumpMessages (5);
    }
    return true;
}

// Answers a modal dialog from inside the modal loop that shows it: polls until
// a modal component of type T appears, hands it to the answer, which must close
// it. After the timeout any modal component is dismissed so a test cannot hang.
template <typename T>
class ModalAnswer : private juce::Timer
{
public:
    ModalAnswer (std::function<void (T&)> answerToUse, int timeoutMs = 10000)
        : answer (std::move (answerToUse)),
          deadline (juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs)
    {
        startTimer (20);
    }

    bool answered = false;

private:
    void timerCallback() override
    {
        auto* modal = juce::Component::getCurrentlyModalComponent();
        if (auto* dialog = dynamic_cast<T*> (modal))
        {
            stopTimer();
            answered = true;
            answer (*dialog);
        }
        else if (juce::Time::getMillisecondCounter() > deadline)
        {
            stopTimer();
            if (modal != nullptr)
                modal->exitModalState (0);
        }
    }

    std::function<void (T&)> answer;
    juce::uint32 deadline;
};

// Where tests leave pictures for people to look at.
inline juce::File screenshotDir()
{
    auto dir = juce::File (TUNEWRIGHT_BINARY_DIR).getChildFile ("screenshots");
    dir.createDirectory();
    return dir;
}

inline void savePng (const juce::Image& image, const juce::String& name)
{
    auto file = screenshotDir().getChildFile (name);
    file.deleteFile();
    juce::FileOutputStream out (file);
    juce::PNGImageFormat().writeImageToStream (image, out);
}
} // namespace tunewright::test
