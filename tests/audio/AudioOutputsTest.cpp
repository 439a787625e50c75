// The real outputs: FluidSynth rendering into buffers (no sound card needed), and how
// the outputs behave on a machine without sound (CI): a reason, and nothing on stderr.

#include "TempDir.h"
#include "audio/FluidSynthOutput.h"
#include "audio/PlatformMidiOutputs.h"
#include "midi/MidiBytes.h"
#include "player/FakeClock.h"
#include "player/MediaDevice.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vector>

using namespace calvane;
using namespace calvane::test;

namespace {

const QString kSoundFont = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");

/// Port -1 is FluidSynth without an audio driver; the test renders its sound.
class RenderingOutputs final : public MidiOutputs
{
public:
    MidiOutputDeviceList Devices() override { return {}; }
    std::unique_ptr<MidiOutput> Open(int, QString* why) override
    {
        auto output = FluidSynthOutput::OpenForRendering(kSoundFont, why);
        synth = output.get();
        return output;
    }
    FluidSynthOutput* synth = nullptr;
};

/// The loudest sample of the next seconds of sound.
float peakOf(FluidSynthOutput& synth, double seconds)
{
    std::vector<float> left(static_cast<std::size_t>(44100 * seconds));
    std::vector<float> right(left.size());
    synth.Render(left, right);
    float peak = 0;
    for (std::size_t i = 0; i < left.size(); ++i) {
        peak = std::max({peak, std::abs(left[i]), std::abs(right[i])});
    }
    return peak;
}

class FluidSynthEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFile::exists(kSoundFont)) {
            GTEST_SKIP() << "no " << kSoundFont.toStdString();
        }
        // A drawbar organ (it sounds as long as the key is held) from 0 s to 10 s.
        const QString song = dir.write(QStringLiteral("organ.mid"),
                                       header(0, 1, 500) + track(event(0, "C010") + event(0, "903C64") +
                                                                 event(10000, "803C40") + kEndOfTrack));
        ASSERT_EQ(device.SendString(QStringLiteral("open \"%1\" alias Midi").arg(song), nullptr, 0), 0);
        ASSERT_EQ(device.SendString(QStringLiteral("play Midi"), nullptr, 0), 0);
        clock.Settle();
        ASSERT_NE(outputs.synth, nullptr);
    }

    TempDir dir;
    FakeClock clock;
    RenderingOutputs outputs;
    MediaDevice device{outputs, clock, [](const QString&) {}};
};

TEST_F(FluidSynthEndToEnd, SoundWhileTheNotePlays)
{
    EXPECT_GT(peakOf(*outputs.synth, 0.5), 0.01f);
    clock.Advance(3'000'000);
    peakOf(*outputs.synth, 2.5);
    EXPECT_GT(peakOf(*outputs.synth, 0.5), 0.01f); // still held
}

TEST_F(FluidSynthEndToEnd, SilenceAfterStop)
{
    EXPECT_GT(peakOf(*outputs.synth, 0.5), 0.01f);
    ASSERT_EQ(device.SendString(QStringLiteral("stop Midi"), nullptr, 0), 0);
    peakOf(*outputs.synth, 2.5); // the release and the reverb die away
    EXPECT_LT(peakOf(*outputs.synth, 0.5), 1e-4f);
}

TEST(ChooseSoundFont, TheConfiguredOneThenTheDebianNames)
{
    auto only = [](std::initializer_list<const char*> present) {
        return [present](const QString& path) {
            return std::any_of(present.begin(), present.end(),
                               [&](const char* p) { return path == QLatin1String(p); });
        };
    };
    const QString configured = QStringLiteral("/usr/share/sounds/sf3/default-GM.sf3");
    EXPECT_EQ(ChooseSoundFont(configured, only({"/usr/share/sounds/sf3/default-GM.sf3",
                                                "/usr/share/sounds/sf2/default-GM.sf2"})),
              configured);
    EXPECT_EQ(ChooseSoundFont(configured, only({"/usr/share/sounds/sf2/TimGM6mb.sf2",
                                                "/usr/share/sounds/sf2/FluidR3_GM.sf2"})),
              QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"));
    EXPECT_EQ(ChooseSoundFont(QString(), only({"/usr/share/sounds/sf2/TimGM6mb.sf2"})),
              QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"));
    EXPECT_EQ(ChooseSoundFont(configured, only({})), QString());
}

/// Everything written on stderr (fd 2) while the body runs.
template <class Body> std::string stderrOf(Body body)
{
    std::fflush(stderr);
    TempDir dir;
    FILE* capture = std::fopen(QFile::encodeName(dir.path(QStringLiteral("stderr"))).constData(), "w+");
    const int saved = ::dup(2);
    ::dup2(::fileno(capture), 2);
    body();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::string text;
    std::rewind(capture);
    for (int c; (c = std::fgetc(capture)) != EOF;) {
        text += static_cast<char>(c);
    }
    std::fclose(capture);
    return text;
}

TEST(PlatformMidiOutputs, ListTheSynthesizerFirstAndSayWhyAnOutputFailsWithoutNoise)
{
    PlatformMidiOutputs outputs;
    MidiOutputDeviceList devices;
    QString synthWhy;
    QString portWhy;
    std::unique_ptr<MidiOutput> synth;
    std::unique_ptr<MidiOutput> port;
    const std::string noise = stderrOf([&] {
        devices = outputs.Devices();
        synth = outputs.Open(-1, &synthWhy);
        port = outputs.Open(devices.Count(), &portWhy); // one past the last port
    });
    EXPECT_EQ(noise, "");
    EXPECT_FALSE(devices.Name(-1).isEmpty());
    EXPECT_TRUE(devices.Name(devices.Count()).isEmpty());
    EXPECT_TRUE(synth || !synthWhy.isEmpty()); // a machine with sound opens it
    EXPECT_EQ(port, nullptr);
    EXPECT_FALSE(portWhy.isEmpty());
}

} // namespace
