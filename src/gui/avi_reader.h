#pragma once
// This type reads the clips that the desktop's animation control plays: a RIFF AVI file whose
// first video stream holds uncompressed frames (8 bits with a palette, or 24 bits) or RLE8
// frames. It decodes every frame into an image up front and reports the clip's frame interval.
// Other streams (sound) are skipped. A damaged or unsupported file comes back as a failure with
// a reason; the reader never reads outside the bytes it is given. It does not play anything.

#include "services/result.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

namespace stowix {

struct AviClip {
    QSize frameSize;             // in pixels
    qint64 frameIntervalUs = 0;  // microseconds per frame, always above 0
    QList<QImage> frames;        // top row first; at least one
};

Result<AviClip> ReadAviClip(const QByteArray& bytes);

// Reads a clip from a host path; a file beyond a sane size for an animation is refused.
Result<AviClip> LoadAviClip(const QString& hostPath);

}  // namespace stowix
