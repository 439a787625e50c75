#pragma once

#include "player/MidiOutput.h"

#include <QString>

#include <functional>
#include <memory>
#include <span>

namespace calvane {

/// The General MIDI SoundFont to load: the configured default if that file exists,
/// else the first that exists of /usr/share/sounds/sf2/default-GM.sf2,
/// FluidR3_GM.sf2 and TimGM6mb.sf2; empty when there is none.
QString ChooseSoundFont(const QString& configuredDefault, const std::function<bool(const QString&)>& exists);

/// The built-in synthesizer (device ID -1).
class FluidSynthOutput final : public MidiOutput
{
public:
    /// With the default audio driver and the SoundFont of ChooseSoundFont (FluidSynth's
    /// synth.default-soundfont first); null with the reason when either is missing.
    static std::unique_ptr<FluidSynthOutput> Open(QString* why);
    /// Without an audio driver: the sound is only what Render produces.
    static std::unique_ptr<FluidSynthOutput> OpenForRendering(const QString& soundFont, QString* why);
    ~FluidSynthOutput() override;

    void SendShort(std::span<const std::uint8_t> message) override;
    void SendSysex(std::span<const std::uint8_t> bytes) override;

    /// The next left.size() frames of stereo sound (44.1 kHz); right is as long as left.
    void Render(std::span<float> left, std::span<float> right);

private:
    struct Fluid;
    explicit FluidSynthOutput(std::unique_ptr<Fluid> fluid);
    static std::unique_ptr<FluidSynthOutput> open(const QString* soundFont, bool withAudio, QString* why);

    std::unique_ptr<Fluid> m_fluid;
};

} // namespace calvane
