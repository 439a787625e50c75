#include "app/MediaDeviceFactory.h"

#include "platform/audio/PlatformMidiOutputs.h"
#include "player/MediaDevice.h"
#include "player/SequencerClock.h"

namespace calvane {
namespace {

/// The in-process media device over the real outputs (FluidSynth for the mapper,
/// RtMidi ports) and the real clock, which it owns.
class PlatformMediaDevice final : public MciDevice
{
public:
    int SendString(const QString& command, QString* reply, int replySize) override
    {
        return m_device.SendString(command, reply, replySize);
    }
    QString SilentOutputReason() const override { return m_device.SilentOutputReason(); }

private:
    PlatformMidiOutputs m_outputs;
    SteadyClock m_clock;
    MediaDevice m_device{m_outputs, m_clock}; // last: it uses both until it is gone
};

} // namespace

std::unique_ptr<MciDevice> CreateMediaDevice()
{
    return std::make_unique<PlatformMediaDevice>();
}

} // namespace calvane
