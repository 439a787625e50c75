#include "player/SequencerClock.h"

#include <chrono>

namespace calvane {

std::int64_t SteadyClock::NowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyClock::WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                            std::optional<std::int64_t> deadlineUs)
{
    if (deadlineUs) {
        cv.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::microseconds(*deadlineUs)));
    } else {
        cv.wait(lock);
    }
}

} // namespace calvane
