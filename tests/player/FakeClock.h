#pragma once

#include "player/SequencerClock.h"

namespace calvane::test {

/// Time that moves only when the test says so. Advance returns once the sequencer
/// thread has done everything due by the new time and waits again, so a test sees a
/// settled state. One sequencer per clock, and the clock outlives it.
class FakeClock final : public SequencerClock
{
public:
    std::int64_t NowUs() override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }

    void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   std::optional<std::int64_t> deadlineUs) override
    {
        {
            std::lock_guard own(m_mutex);
            if (deadlineUs && *deadlineUs <= m_now) {
                // Time moved on while the sequencer worked out this deadline: it is due
                // already, as it would be on a real clock. Not a wait Advance may end on.
                return;
            }
            m_waiterCv = &cv;
            m_waiterMutex = lock.mutex();
            m_deadline = deadlineUs;
            ++m_waits;
        }
        m_changed.notify_all();
        cv.wait(lock); // ended by Advance, or by a command to the sequencer
    }

    void Advance(std::int64_t us)
    {
        std::condition_variable* cv = nullptr;
        std::mutex* sequencerMutex = nullptr;
        {
            std::unique_lock own(m_mutex);
            m_changed.wait(own, [&] { return m_waiterMutex != nullptr; });
            cv = m_waiterCv;
            sequencerMutex = m_waiterMutex;
        }
        std::uint64_t before = 0;
        {
            // Holding the sequencer's lock: its thread is inside cv.wait or has yet to take the lock.
            std::lock_guard sequencer(*sequencerMutex);
            std::lock_guard own(m_mutex);
            m_now += us;
            before = m_waits;
            cv->notify_all();
        }
        std::unique_lock own(m_mutex);
        m_changed.wait(own, [&] { return m_waits > before; });
    }

    /// Lets the sequencer catch up with commands given to it.
    void Settle() { Advance(0); }

    /// The time the sequencer waits for (none: it waits for a command).
    std::optional<std::int64_t> Deadline()
    {
        std::lock_guard lock(m_mutex);
        return m_deadline;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::int64_t m_now = 1'000'000'000; // not 0: nothing may take the clock's zero for the song's
    std::condition_variable* m_waiterCv = nullptr;
    std::mutex* m_waiterMutex = nullptr;
    std::optional<std::int64_t> m_deadline;
    std::uint64_t m_waits = 0;
};

} // namespace calvane::test
