#pragma once
// This type reads a RIFF WAVE file of plain PCM samples (8-bit unsigned or 16-bit signed, any
// channel count and rate) into memory, and tells how long it plays. A file whose sample data
// is cut short keeps the whole samples it holds; a damaged header or another encoding is refused
// with a reason. It never reads outside the bytes it is given, and plays nothing.

#include "services/result.h"

#include <QByteArray>
#include <QString>

namespace stowix {

struct WaveClip {
    int channels = 0;
    int sampleRate = 0;     // frames a second
    int bitsPerSample = 0;  // 8 or 16
    QByteArray samples;     // whole frames only, as the file stores them

    int BytesPerFrame() const { return channels * bitsPerSample / 8; }
    qint64 DurationMs() const;
};

Result<WaveClip> ReadWaveClip(const QByteArray& bytes);

// Reads a clip from a host path; a file beyond a sane size for a short sound is refused.
Result<WaveClip> LoadWaveClip(const QString& hostPath);

}  // namespace stowix
