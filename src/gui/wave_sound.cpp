#include "gui/wave_sound.h"

#include "gui/media_path.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <climits>

namespace stowix {

WaveSound::WaveSound(QWidget* parent, std::unique_ptr<SoundOutput> output)
    : QWidget(parent), m_output(std::move(output)) {
    setObjectName(QStringLiteral("MMControl1"));
    setFocusPolicy(Qt::NoFocus);
    hide();
}

WaveSound::~WaveSound() { CloseFile(); }

void WaveSound::SetDeviceType(const QString& deviceType) { m_deviceType = deviceType; }

void WaveSound::SetFileName(const QString& fileName) { m_fileName = fileName; }

void WaveSound::SetWait(bool wait) { m_wait = wait; }

void WaveSound::Command(const QString& command) {
    if (command.compare(QLatin1String("Close"), Qt::CaseInsensitive) == 0)
        CloseFile();
    else if (command.compare(QLatin1String("Open"), Qt::CaseInsensitive) == 0)
        OpenFile();
    else if (command.compare(QLatin1String("Play"), Qt::CaseInsensitive) == 0)
        PlayClip();
}

void WaveSound::OpenFile() {
    CloseFile();
    if (!m_deviceType.isEmpty() &&
        m_deviceType.compare(QLatin1String("WaveAudio"), Qt::CaseInsensitive) != 0)
        return;
    Result<WaveClip> clip = LoadWaveClip(HostMediaPath(m_fileName));
    if (clip) m_clip = std::move(clip).value();
}

void WaveSound::PlayClip() {
    if (!m_clip) return;
    const quint64 playId = ++m_playId;
    m_finished = false;
    m_output->Start(*m_clip, [this, playId] {
        if (playId != m_playId) return;
        m_finished = true;
        if (m_waiting) m_waiting->quit();
    });
    if (!m_wait || m_finished) return;

    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    bound.start(int(std::min<qint64>(m_clip->DurationMs() + WaitMarginMs, INT_MAX)));
    m_waiting = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_waiting = nullptr;
}

void WaveSound::CloseFile() {
    ++m_playId;
    m_output->Stop();
    m_clip.reset();
    if (m_waiting) m_waiting->quit();
}

}  // namespace stowix
