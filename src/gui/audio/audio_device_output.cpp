// The sound output of the desktop's default audio device, built as a module of its own that
// the program loads on the first sound it plays (gui/sound_output.cpp).

#include "gui/sound_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QThread>

namespace stowix {

namespace {

// Lives on the audio thread and owns the sink there, so the sink's own timers keep feeding
// the device whatever the window's thread is doing.
class SinkWorker : public QObject {
    Q_OBJECT

public:
    ~SinkWorker() override {
        // The buffer goes before the children do, so the sink must not outlive this body.
        if (m_sink) m_sink->stop();
        delete m_sink;
    }

    void Start(const QByteArray& samples, const QAudioFormat& format, const QAudioDevice& device,
               quint64 playId) {
        Stop();
        m_playId = playId;
        m_buffer.setData(samples);
        m_buffer.open(QIODevice::ReadOnly);
        m_sink = new QAudioSink(device, format, this);
        connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            // Idle: the buffer has run dry, the sound is out. Stopped with an error: the device
            // went away or refused the stream.
            if (state == QAudio::IdleState ||
                (state == QAudio::StoppedState && m_sink && m_sink->error() != QAudio::NoError))
                End();
        });
        m_sink->start(&m_buffer);
        if (m_sink && m_sink->error() != QAudio::NoError) End();
    }

    void Stop() {
        if (!m_sink) return;
        QAudioSink* sink = m_sink;
        m_sink = nullptr;
        sink->disconnect(this);
        sink->stop();
        sink->deleteLater();  // may be inside one of its own signals
        m_buffer.close();
    }

Q_SIGNALS:
    void Finished(quint64 playId);

private:
    void End() {
        Stop();
        Q_EMIT Finished(m_playId);
    }

    QAudioSink* m_sink = nullptr;  // owned through this object's children
    QBuffer m_buffer;
    quint64 m_playId = 0;
};

class AudioDeviceOutput : public SoundOutput {
public:
    AudioDeviceOutput() {
        m_thread.setObjectName(QStringLiteral("Stowix sound"));
        m_worker = new SinkWorker;
        m_worker->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        QObject::connect(m_worker, &SinkWorker::Finished, &m_receiver,
                         [this](quint64 playId) { Report(playId); });
        m_thread.start();
    }

    ~AudioDeviceOutput() override {
        Stop();
        m_thread.quit();
        m_thread.wait();
    }

    void Start(const WaveClip& clip, std::function<void()> finished) override {
        const quint64 playId = ++m_playId;
        m_finished = std::move(finished);
        QAudioFormat format;
        format.setSampleRate(clip.sampleRate);
        format.setChannelCount(clip.channels);
        format.setSampleFormat(clip.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull() || !device.isFormatSupported(format)) {
            QMetaObject::invokeMethod(
                &m_receiver, [this, playId] { Report(playId); }, Qt::QueuedConnection);
            return;
        }
        QMetaObject::invokeMethod(
            m_worker,
            [worker = m_worker, samples = clip.samples, format, device, playId] {
                worker->Start(samples, format, device, playId);
            },
            Qt::QueuedConnection);
    }

    void Stop() override {
        ++m_playId;
        m_finished = nullptr;
        QMetaObject::invokeMethod(
            m_worker, [worker = m_worker] { worker->Stop(); }, Qt::BlockingQueuedConnection);
    }

private:
    void Report(quint64 playId) {
        if (playId != m_playId || !m_finished) return;
        std::function<void()> finished = std::move(m_finished);
        m_finished = nullptr;
        finished();
    }

    QThread m_thread;
    SinkWorker* m_worker;  // lives on m_thread, deleted when it finishes
    QObject m_receiver;    // on the caller's thread: the reports are delivered there
    quint64 m_playId = 0;
    std::function<void()> m_finished;
};

}  // namespace

}  // namespace stowix

// The module's one entry: the program loads it only where an audio server can be reached, so
// that Qt Multimedia and the audio libraries cost nothing elsewhere (an unattended run, a
// server without sound). The caller owns the output.
extern "C" Q_DECL_EXPORT stowix::SoundOutput* StowixCreateAudioDeviceOutput() {
    return new stowix::AudioDeviceOutput;
}

#include "audio_device_output.moc"
