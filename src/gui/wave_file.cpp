#include "gui/wave_file.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <optional>

namespace stowix {

namespace {

constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
constexpr quint16 FormatPcm = 1;

std::optional<quint32> U32At(const QByteArray& bytes, qint64 offset) {
    if (offset < 0 || offset > bytes.size() - 4) return std::nullopt;
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

quint16 U16At(const QByteArray& bytes, qint64 offset) {
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

}  // namespace

qint64 WaveClip::DurationMs() const {
    const int frameBytes = BytesPerFrame();
    if (frameBytes <= 0 || sampleRate <= 0) return 0;
    return qint64(samples.size() / frameBytes) * 1000 / sampleRate;
}

Result<WaveClip> ReadWaveClip(const QByteArray& bytes) {
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return Result<WaveClip>::Fail("not a wave file");
    std::optional<WaveClip> format;
    qint64 offset = 12;
    while (offset + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(offset, 4);
        const qint64 size = *U32At(bytes, offset + 4);
        const qint64 body = offset + 8;
        const qint64 available = bytes.size() - body;
        if (id == "fmt ") {
            if (size < 16 || size > available)
                return Result<WaveClip>::Fail("the format is cut short");
            if (U16At(bytes, body) != FormatPcm)
                return Result<WaveClip>::Fail("only PCM sound is supported");
            WaveClip clip;
            clip.channels = U16At(bytes, body + 2);
            clip.sampleRate = int(*U32At(bytes, body + 4));
            clip.bitsPerSample = U16At(bytes, body + 14);
            if (clip.channels < 1 || clip.channels > 8 || clip.sampleRate < 1000 ||
                clip.sampleRate > 384000 || (clip.bitsPerSample != 8 && clip.bitsPerSample != 16))
                return Result<WaveClip>::Fail("the sound format is not supported");
            format = clip;
        } else if (id == "data") {
            if (!format) return Result<WaveClip>::Fail("the sound data comes before its format");
            // Recorders that were cut off leave the declared size too large: keep what is there.
            const qint64 held = std::min(size, available);
            format->samples = bytes.mid(body, held - held % format->BytesPerFrame());
            return *format;
        }
        offset = body + size + (size & 1);
    }
    return Result<WaveClip>::Fail(format ? "the sound data is missing" : "the format is missing");
}

Result<WaveClip> LoadWaveClip(const QString& hostPath) {
    QFile file(hostPath);
    if (!file.open(QIODevice::ReadOnly)) return Result<WaveClip>::Fail(file.errorString());
    if (file.size() > MaxFileBytes) return Result<WaveClip>::Fail("the sound is too large");
    return ReadWaveClip(file.read(std::min(file.size(), MaxFileBytes)));
}

}  // namespace stowix
