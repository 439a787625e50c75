#include "audio/FluidSynthOutput.h"

#include "audio/AudioLibraries.h"
#include "platform/NativeFile.h"

#include <fluidsynth.h>

namespace calvane {

struct FluidSynthOutput::Fluid
{
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_audio_driver_t* driver = nullptr;

    ~Fluid()
    {
        // The driver calls into the synth, the synth reads the settings: undone in that order.
        if (driver) {
            delete_fluid_audio_driver(driver);
        }
        if (synth) {
            delete_fluid_synth(synth);
        }
        if (settings) {
            delete_fluid_settings(settings);
        }
    }
};

QString ChooseSoundFont(const QString& configuredDefault, const std::function<bool(const QString&)>& exists)
{
    if (!configuredDefault.isEmpty() && exists(configuredDefault)) {
        return configuredDefault;
    }
    for (const char* name : {"default-GM.sf2", "FluidR3_GM.sf2", "TimGM6mb.sf2"}) {
        const QString path = QStringLiteral("/usr/share/sounds/sf2/") + QLatin1String(name);
        if (exists(path)) {
            return path;
        }
    }
    return {};
}

std::unique_ptr<FluidSynthOutput> FluidSynthOutput::Open(QString* why)
{
    return open(nullptr, true, why);
}

std::unique_ptr<FluidSynthOutput> FluidSynthOutput::OpenForRendering(const QString& soundFont, QString* why)
{
    return open(&soundFont, false, why);
}

std::unique_ptr<FluidSynthOutput> FluidSynthOutput::open(const QString* soundFont, bool withAudio,
                                                         QString* why)
{
    QuietenAudioLibraries();
    auto fluid = std::make_unique<Fluid>();
    fluid->settings = new_fluid_settings();
    if (!fluid->settings) {
        *why = QStringLiteral("FluidSynth: %1").arg(LastFluidSynthError());
        return nullptr;
    }
    QString sf2;
    if (soundFont) {
        sf2 = *soundFont;
    } else {
        char* configured = nullptr;
        fluid_settings_dupstr(fluid->settings, "synth.default-soundfont", &configured);
        sf2 = ChooseSoundFont(QString::fromLocal8Bit(configured),
                              [](const QString& path) { return IsOrdinaryFile(NativePath(path)); });
        fluid_free(configured);
        if (sf2.isEmpty()) {
            *why = QStringLiteral("no General MIDI SoundFont (install fluid-soundfont-gm)");
            return nullptr;
        }
    }
    fluid->synth = new_fluid_synth(fluid->settings);
    if (!fluid->synth) {
        *why = QStringLiteral("FluidSynth: %1").arg(LastFluidSynthError());
        return nullptr;
    }
    // Before the SoundFont, which takes long to load: without sound it is not needed.
    if (withAudio) {
        fluid->driver = new_fluid_audio_driver(fluid->settings, fluid->synth);
        if (!fluid->driver) {
            *why = QStringLiteral("FluidSynth has no audio output: %1").arg(LastFluidSynthError());
            return nullptr;
        }
    }
    if (fluid_synth_sfload(fluid->synth, NativePath(sf2).constData(), 1) == FLUID_FAILED) {
        *why = QStringLiteral("FluidSynth cannot load the SoundFont %1: %2").arg(sf2, LastFluidSynthError());
        return nullptr;
    }
    return std::unique_ptr<FluidSynthOutput>(new FluidSynthOutput(std::move(fluid)));
}

FluidSynthOutput::FluidSynthOutput(std::unique_ptr<Fluid> fluid) : m_fluid(std::move(fluid)) {}

FluidSynthOutput::~FluidSynthOutput() = default;

void FluidSynthOutput::SendShort(std::span<const std::uint8_t> m)
{
    if (m.size() < 2) {
        return;
    }
    fluid_synth_t* synth = m_fluid->synth;
    const int channel = m[0] & 0x0F;
    const int data2 = m.size() > 2 ? m[2] : 0;
    switch (m[0] & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, m[1]);
        break;
    case 0x90:
        if (data2 == 0) {
            fluid_synth_noteoff(synth, channel, m[1]);
        } else {
            fluid_synth_noteon(synth, channel, m[1], data2);
        }
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, m[1], data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, m[1], data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, m[1]);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, m[1]);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, m[1] | data2 << 7);
        break;
    default:
        break;
    }
}

void FluidSynthOutput::SendSysex(std::span<const std::uint8_t> bytes)
{
    // FluidSynth takes the message without its F0 and F7; escaped raw bytes mean nothing to it.
    if (bytes.empty() || bytes.front() != 0xF0) {
        return;
    }
    std::span<const std::uint8_t> body = bytes.subspan(1);
    if (!body.empty() && body.back() == 0xF7) {
        body = body.first(body.size() - 1);
    }
    fluid_synth_sysex(m_fluid->synth, reinterpret_cast<const char*>(body.data()),
                      static_cast<int>(body.size()), nullptr, nullptr, nullptr, 0);
}

void FluidSynthOutput::Render(std::span<float> left, std::span<float> right)
{
    fluid_synth_write_float(m_fluid->synth, static_cast<int>(std::min(left.size(), right.size())),
                            left.data(), 0, 1, right.data(), 0, 1);
}

} // namespace calvane
