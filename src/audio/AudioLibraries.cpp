#include "audio/AudioLibraries.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <mutex>

namespace calvane {
namespace {

std::mutex g_fluidErrorMutex;
QString g_fluidError;

extern "C" void keepFluidSynthError(int level, const char* message, void*)
{
    if (level <= FLUID_ERR && message) {
        std::lock_guard lock(g_fluidErrorMutex);
        g_fluidError = QString::fromLocal8Bit(message);
    }
}

extern "C" void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void QuietenAudioLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        snd_lib_error_set_handler(ignoreAlsaError);
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
            fluid_set_log_function(level, keepFluidSynthError, nullptr);
        }
    });
}

QString LastFluidSynthError()
{
    std::lock_guard lock(g_fluidErrorMutex);
    return g_fluidError;
}

bool AlsaSequencerAvailable(QString* why)
{
    QuietenAudioLibraries();
    snd_seq_t* seq = nullptr;
    const int err = snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0);
    if (err < 0) {
        *why = QStringLiteral("no ALSA sequencer (%1)").arg(QString::fromLocal8Bit(snd_strerror(err)));
        return false;
    }
    snd_seq_close(seq);
    return true;
}

} // namespace calvane
