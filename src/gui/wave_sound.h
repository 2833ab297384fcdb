#pragma once
// The hidden sound control MMControl1: plays wave files on the program's string commands. Only
// the "WaveAudio" device type is known (an empty type is taken as it). "Open" loads the file
// named by the file name, "Play" plays it, "Close" stops it and lets it go; other commands do
// nothing. A file that cannot be read makes "Open" load nothing and "Play" do nothing.
//
// "Play" with the wait flag returns when the sound is out, or at the latest after the clip's
// length plus a small margin, so a silent or missing audio device never stalls the caller.
// While it waits, the window still repaints and its timers run (the animation plays on); user
// input waits until it returns.

#include "gui/sound_output.h"
#include "gui/wave_file.h"
#include "view/controls.h"

#include <QWidget>

#include <memory>
#include <optional>

class QEventLoop;

namespace stowix {

class WaveSound : public QWidget, public MultimediaControl {
    Q_OBJECT

public:
    // The widget stays hidden; the window places it where the control sits.
    explicit WaveSound(QWidget* parent = nullptr,
                       std::unique_ptr<SoundOutput> output = MakeAudioDeviceOutput());
    ~WaveSound() override;

    void SetDeviceType(const QString& deviceType) override;
    // fileName: the program's form, a host folder, a backslash and the file name.
    void SetFileName(const QString& fileName) override;
    void SetWait(bool wait) override;
    void Command(const QString& command) override;

    bool IsOpen() const { return m_clip.has_value(); }

    // Added to the clip's length to bound a waiting "Play".
    static constexpr int WaitMarginMs = 500;

private:
    void OpenFile();
    void PlayClip();
    void CloseFile();

    std::unique_ptr<SoundOutput> m_output;
    QString m_deviceType;
    QString m_fileName;
    bool m_wait = false;
    std::optional<WaveClip> m_clip;
    quint64 m_playId = 0;             // the play that a finished report belongs to
    bool m_finished = false;          // the current play has reported its end
    QEventLoop* m_waiting = nullptr;  // non-owning; set while a waiting "Play" runs
};

}  // namespace stowix
