#pragma once
// Where MMControl1's sounds go. The real output plays through the desktop's default audio
// device on a thread of its own, so a sound started without waiting plays on while a long
// command keeps the window's thread busy. Tests put a silent or an instant output in its place.

#include "gui/wave_file.h"

#include <functional>
#include <memory>

namespace stowix {

class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Starts clip, replacing any sound still playing. finished runs later on the caller's
    // thread, once, when the clip has played out or cannot be played (no device, a format the
    // device refuses). It never runs for a sound that Stop or a later Start cut short.
    virtual void Start(const WaveClip& clip, std::function<void()> finished) = 0;
    // Silences the sound at once; returns when it is silent.
    virtual void Stop() = 0;
};

std::unique_ptr<SoundOutput> MakeAudioDeviceOutput();

}  // namespace stowix
