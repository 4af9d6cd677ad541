#pragma once
#include <atomic>
#include <functional>

#include "BrelioCore/JXThread.h"

namespace brelio::test {

// Looks at something again and again, about every 5 ms, on a thread of its
// own while the test's thread acts. The constructor returns once the first
// look is done: a thread takes tens of milliseconds to start under Wine,
// longer than a quick action, and the action must start watched. A watch
// declared as the last member of its owner starts after, and ends before,
// the members it looks at.
class CPollingWatch {
public:
    explicit CPollingWatch(std::function<void()> look);
    ~CPollingWatch();
    CPollingWatch(const CPollingWatch&) = delete;
    CPollingWatch& operator=(const CPollingWatch&) = delete;

    // Stops the looks; returns once the last one has ended.
    void Finish();

private:
    std::function<void()> m_look;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_looked{false};
    CJXThread m_thread;
};

}  // namespace brelio::test
