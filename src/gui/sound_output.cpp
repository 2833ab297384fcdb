#include "gui/sound_output.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QObject>

#include <unistd.h>

namespace stowix {

namespace {

// Qt Multimedia plays through a PulseAudio server (PipeWire offers the same socket). Where none
// can be reached no sound can play, so the audio module is not even loaded there: an unattended
// run from cron, or a server without sound, starts and ends without its libraries.
bool AudioServerReachable() {
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER")) return true;
    QStringList sockets{QStringLiteral("/run/user/%1/pulse/native").arg(::getuid()),
                        QStringLiteral("/var/run/pulse/native")};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) sockets.prepend(runtime + QStringLiteral("/pulse/native"));
    for (const QString& socket : sockets)
        if (QFileInfo::exists(socket)) return true;
    return false;
}

using CreateOutput = SoundOutput* (*)();

// The audio device's output, loaded from the module beside the program on the first sound. Where
// the module or a server is missing, every sound "finishes" at once, so nothing waits for it.
class LazyAudioOutput : public SoundOutput {
public:
    void Start(const WaveClip& clip, std::function<void()> finished) override {
        if (SoundOutput* device = Device()) {
            device->Start(clip, std::move(finished));
            return;
        }
        const quint64 playId = ++m_playId;
        m_finished = std::move(finished);
        QMetaObject::invokeMethod(
            &m_receiver,
            [this, playId] {
                if (playId != m_playId || !m_finished) return;
                std::function<void()> done = std::move(m_finished);
                m_finished = nullptr;
                done();
            },
            Qt::QueuedConnection);
    }

    void Stop() override {
        ++m_playId;
        m_finished = nullptr;
        if (m_device) m_device->Stop();
    }

private:
    SoundOutput* Device() {
        if (!m_loadTried) {
            m_loadTried = true;
            if (AudioServerReachable()) Load();
        }
        return m_device.get();
    }

    void Load() {
        QLibrary module(QCoreApplication::applicationDirPath() + QStringLiteral("/stowix-audio"));
        const auto create =
            reinterpret_cast<CreateOutput>(module.resolve("StowixCreateAudioDeviceOutput"));
        if (create) m_device.reset(create());
    }

    std::unique_ptr<SoundOutput> m_device;
    bool m_loadTried = false;
    QObject m_receiver;  // delivers the at-once "finished" on the caller's thread, later
    quint64 m_playId = 0;
    std::function<void()> m_finished;
};

}  // namespace

std::unique_ptr<SoundOutput> MakeAudioDeviceOutput() { return std::make_unique<LazyAudioOutput>(); }

}  // namespace stowix
