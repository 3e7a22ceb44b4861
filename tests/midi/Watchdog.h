// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

namespace tunewright::testing
{

using namespace std::chrono_literals;

// Generous: only a hang comes near it.
constexpr auto hangLimit = 20s;

// Work on a thread of its own that a test can watch. Joining waits at most a
// limit; a body that hangs ends the whole run at once, because its thread still
// uses the test's locals and CI must not wait forever.
class Background
{
public:
    explicit Background (std::function<void()> body)
        : finished (done.get_future()),
          worker ([this, b = std::move (body)] {
              b();
              done.set_value();
          })
    {
    }

    ~Background() { join ("background work"); }

    bool hasFinished() const { return finished.wait_for (0s) == std::future_status::ready; }

    bool finishesWithin (std::chrono::milliseconds limit) const
    {
        return finished.wait_for (limit) == std::future_status::ready;
    }

    void join (const char* what, std::chrono::milliseconds limit = hangLimit)
    {
        if (! worker.joinable())
            return;

        if (! finishesWithin (limit))
        {
            std::fprintf (stderr, "HANG: %s did not finish within %lld ms\n", what, (long long) limit.count());
            std::fflush (stderr);
            std::abort();
        }

        worker.join();
    }

private:
    std::promise<void> done;
    std::future<void> finished;
    std::thread worker;
};

// Runs body on a watched thread and returns once it has finished.
inline void finishWithin (const char* what, std::function<void()> body, std::chrono::milliseconds limit = hangLimit)
{
    Background work (std::move (body));
    work.join (what, limit);
}

} // namespace tunewright::testing
