#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <set>

#include "platform/text.h"

namespace app {

// When failed print jobs may be tried again. A job that fails waits 5 s before its next try,
// and twice as long after each further failure, up to 300 s, so that one job that cannot be
// printed never holds back the jobs behind it, while a job that failed for a passing reason
// (a printer switched off for a minute) still comes out soon.
class TJobRetries {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds FirstWait{5};
    static constexpr std::chrono::seconds LongestWait{300};

    explicit TJobRetries(std::function<Clock::time_point()> now);

    // The job failed now: it waits before its next try.
    void Failed(const platform::String& job);
    // The job was printed: it is forgotten.
    void Succeeded(const platform::String& job);
    // Whether the job failed and its wait has not ended.
    bool Waiting(const platform::String& job) const;
    // The waits end at once: the database is back after an outage, which is what most likely
    // made the waiting jobs fail. The growth of each job's next wait is kept.
    void EndWaits();
    // Forgets the jobs that are no longer pending.
    void KeepOnly(const std::set<platform::String>& pending);

private:
    // How long the job's wait after its next failure will be.
    std::chrono::seconds NextWait(const platform::String& job) const;

    struct TRetry {
        int Failures = 0;
        Clock::time_point Due;
    };

    std::function<Clock::time_point()> FNow;
    std::map<platform::String, TRetry> FRetries;
};

}  // namespace app
