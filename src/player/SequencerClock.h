#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace calvane {

/// The sequencer thread's time: a monotonic clock in microseconds and a wait on it.
class SequencerClock
{
public:
    virtual ~SequencerClock() = default;
    virtual std::int64_t NowUs() = 0;
    /// Waits until the clock reaches deadlineUs (no deadline: for ever) or cv is
    /// notified, releasing lock meanwhile; lock is held again on return. May return early.
    virtual void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                           std::optional<std::int64_t> deadlineUs) = 0;
};

/// std::chrono::steady_clock.
class SteadyClock final : public SequencerClock
{
public:
    std::int64_t NowUs() override;
    void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   std::optional<std::int64_t> deadlineUs) override;
};

} // namespace calvane
