#include "app/job_retries.h"

#include <algorithm>

namespace app {

TJobRetries::TJobRetries(std::function<Clock::time_point()> now) : FNow(std::move(now)) {}

std::chrono::seconds TJobRetries::NextWait(const platform::String& job) const {
    const auto found = FRetries.find(job);
    const int failures = found == FRetries.end() ? 0 : found->second.Failures;
    // Past 2^6 the wait is at its longest anyway; the shift stays small.
    const auto doubled = FirstWait * (1LL << std::min(failures, 6));
    return std::min<std::chrono::seconds>(doubled, LongestWait);
}

void TJobRetries::Failed(const platform::String& job) {
    const std::chrono::seconds wait = NextWait(job);
    TRetry& retry = FRetries[job];
    ++retry.Failures;
    retry.Due = FNow() + wait;
}

void TJobRetries::Succeeded(const platform::String& job) {
    FRetries.erase(job);
}

bool TJobRetries::Waiting(const platform::String& job) const {
    const auto found = FRetries.find(job);
    return found != FRetries.end() && FNow() < found->second.Due;
}

void TJobRetries::EndWaits() {
    const Clock::time_point now = FNow();
    for (auto& [job, retry] : FRetries) {
        retry.Due = std::min(retry.Due, now);
    }
}

void TJobRetries::KeepOnly(const std::set<platform::String>& pending) {
    std::erase_if(FRetries, [&](const auto& entry) { return !pending.contains(entry.first); });
}

}  // namespace app
