#include "gui/MediaDeviceFactory.h"

#include "player/MediaDevice.h"
#include "player/SequencerClock.h"

namespace calvane {
namespace {

/// The in-process media device over the program's outputs (FluidSynth for the
/// mapper, RtMidi ports) and the real clock, which it owns.
class PlatformMediaDevice final : public MciDevice
{
public:
    explicit PlatformMediaDevice(MidiOutputs& outputs) : m_device(outputs, m_clock) {}

    int SendString(const QString& command, QString* reply, int replySize) override
    {
        return m_device.SendString(command, reply, replySize);
    }
    QString SilentOutputReason() const override { return m_device.SilentOutputReason(); }
    void SetEndOfPlayHandler(std::function<void()> handler) override
    {
        m_device.SetEndOfPlayHandler(std::move(handler));
    }

private:
    SteadyClock m_clock;
    MediaDevice m_device; // last: it uses the clock until it is gone
};

} // namespace

std::unique_ptr<MciDevice> CreateMediaDevice(MidiOutputs& outputs)
{
    return std::make_unique<PlatformMediaDevice>(outputs);
}

} // namespace calvane
