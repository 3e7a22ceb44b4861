// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace tunewright::test
{
// Ends the process with a message if the scope it guards takes longer than the
// limit: a deadlocked message thread cannot fail a test any other way.
class HangWatchdog
{
public:
    HangWatchdog (const char* whatToWatch, std::chrono::seconds limit)
        : what (whatToWatch),
          watcher ([this, limit] {
              std::unique_lock<std::mutex> lock (mutex);
              if (! finished.wait_for (lock, limit, [this] { return done; }))
              {
                  std::fprintf (stderr, "HANG: %s did not finish within %lld s\n", what, (long long) limit.count());
                  std::fflush (stderr);
                  std::_Exit (3);
              }
          })
    {
    }

    ~HangWatchdog()
    {
        {
            std::lock_guard<std::mutex> lock (mutex);
            done = true;
        }
        finished.notify_all();
        watcher.join();
    }

private:
    const char* what;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread watcher;
};
} // namespace tunewright::test
