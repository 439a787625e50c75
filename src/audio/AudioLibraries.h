#pragma once

#include <QString>

namespace calvane {

/// The audio libraries print their failures on stderr by default (ALSA a dozen lines
/// for a missing sound card). Once called, ALSA says nothing and FluidSynth's errors
/// are kept for LastFluidSynthError, so that the device can say why in one line.
void QuietenAudioLibraries();

/// FluidSynth's latest error message (empty when none).
QString LastFluidSynthError();

/// True when an ALSA sequencer can be opened (RtMidi's ports live there); else false
/// with the reason in *why.
bool AlsaSequencerAvailable(QString* why);

} // namespace calvane
