#include "app/MediaDeviceFactory.h"

namespace calvane {
namespace {

/// Stands in until the in-process media device (sequencer and synthesizer) is
/// merged, which replaces this factory's body: every command fails with a
/// non-zero code and an empty reply, so nothing plays and every query reads as
/// empty or 0.
class NoMediaDevice final : public MciDevice
{
public:
    int SendString(const QString&, QString* reply, int) override
    {
        if (reply) {
            reply->clear();
        }
        return 263; // the device's "not open" code
    }
};

} // namespace

std::unique_ptr<MciDevice> CreateMediaDevice()
{
    return std::make_unique<NoMediaDevice>();
}

} // namespace calvane
