#pragma once
// Fakes of the window controls. Each records what it is asked in a shared EventLog as
// "<Name>.<What>=<value>" and raises its change event as the real toolkit does.

#include "support/event_log.h"
#include "view/controls.h"

namespace stowix::test {

// Anything that can be greyed, over whichever control interface it fakes. The interfaces
// derive from Control each on their own, so every fake takes its greying from here.
template <typename Interface>
class FakeGreyable : public Interface {
public:
    FakeGreyable(EventLog& log, QString name) : m_log(log), m_name(std::move(name)) {}
    void SetEnabled(bool enabled) override {
        m_enabled = enabled;
        m_log.Add(m_name + ".Enabled=" + (enabled ? "1" : "0"));
    }
    bool IsEnabled() const override { return m_enabled; }

protected:
    EventLog& m_log;
    QString m_name;
    bool m_enabled = true;
};

class FakeControl : public FakeGreyable<Control> {
public:
    using FakeGreyable::FakeGreyable;
};

class FakeCheckBox : public FakeGreyable<CheckBox> {
public:
    using FakeGreyable::FakeGreyable;
    int Value() const override { return m_value; }
    void SetValue(int value) override {
        m_log.Add(m_name + ".Value=" + QString::number(value));
        if (value == m_value) return;
        m_value = value;
        if (m_click) m_click();
    }
    void SetClickHandler(std::function<void()> handler) override { m_click = std::move(handler); }

private:
    int m_value = 0;
    std::function<void()> m_click;
};

class FakeLabel : public Label {
public:
    FakeLabel(EventLog& log, QString name) : m_log(log), m_name(std::move(name)) {}
    QString Caption() const override { return m_caption; }
    void SetCaption(const QString& caption) override {
        m_caption = caption;
        m_log.Add(m_name + ".Caption=" + caption);
    }

private:
    EventLog& m_log;
    QString m_name;
    QString m_caption;
};

class FakeProgressBar : public ProgressBar {
public:
    FakeProgressBar(EventLog& log, QString name) : m_log(log), m_name(std::move(name)) {}
    int Value() const override { return m_value; }
    void SetValue(int value) override {
        m_value = value;
        m_log.Add(m_name + ".Value=" + QString::number(value));
    }
    bool IsVisible() const override { return m_visible; }
    void SetVisible(bool visible) override {
        m_visible = visible;
        m_log.Add(m_name + ".Visible=" + (visible ? "1" : "0"));
    }

private:
    EventLog& m_log;
    QString m_name;
    int m_value = 0;
    bool m_visible = true;
};

class FakeStatusBar : public StatusBar {
public:
    FakeStatusBar(EventLog& log, QString name) : m_log(log), m_name(std::move(name)) {}
    QString Text() const override { return m_text; }
    void SetText(const QString& text) override {
        m_text = text;
        m_log.Add(m_name + ".Text=" + text);
    }

private:
    EventLog& m_log;
    QString m_name;
    QString m_text;
};

class FakeAnimation : public Animation {
public:
    FakeAnimation(EventLog& log, QString name) : m_log(log), m_name(std::move(name)) {}
    bool Open(const QString& path) override {
        m_log.Add(m_name + ".Open=" + path);
        return openSucceeds;
    }
    void Play() override { m_log.Add(m_name + ".Play"); }
    void Stop() override { m_log.Add(m_name + ".Stop"); }
    void Close() override { m_log.Add(m_name + ".Close"); }
    bool openSucceeds = true;

private:
    EventLog& m_log;
    QString m_name;
};

class FakeMultimediaControl : public MultimediaControl {
public:
    FakeMultimediaControl(EventLog& log, QString name) : m_log(log), m_name(std::move(name)) {}
    void SetDeviceType(const QString& deviceType) override {
        m_log.Add(m_name + ".DeviceType=" + deviceType);
    }
    void SetFileName(const QString& fileName) override {
        m_log.Add(m_name + ".FileName=" + fileName);
    }
    void SetWait(bool wait) override { m_log.Add(m_name + ".Wait=" + (wait ? "1" : "0")); }
    void Command(const QString& command) override { m_log.Add(m_name + ".Command=" + command); }

private:
    EventLog& m_log;
    QString m_name;
};

class FakeFolderList : public FakeGreyable<FolderList> {
public:
    using FakeGreyable::FakeGreyable;
    QString Path() const override { return m_path; }
    void SetPath(const QString& path) override {
        m_log.Add(m_name + ".Path=" + path);
        if (path == m_path) return;
        m_path = path;
        if (m_change) m_change();
    }
    void SetChangeHandler(std::function<void()> handler) override { m_change = std::move(handler); }
    void SetToolTip(const QString& toolTip) override { m_log.Add(m_name + ".ToolTip=" + toolTip); }
    // A double-click by the user on an entry: the same path change, raised the same way.
    void DoubleClick(const QString& path) { SetPath(path); }

private:
    QString m_path;
    std::function<void()> m_change;
};

class FakeWindow : public Window {
public:
    FakeWindow(EventLog& log, QString name) : m_log(log), m_name(std::move(name)) {}
    void Show() override {
        m_visible = true;
        m_log.Add(m_name + ".Show");
        if (onShow) onShow();
    }
    void Hide() override {
        m_visible = false;
        m_log.Add(m_name + ".Hide");
    }
    bool IsVisible() const override { return m_visible; }
    void Repaint() override { m_log.Add(m_name + ".Repaint"); }
    void SetCaption(const QString& caption) override { m_log.Add(m_name + ".Caption=" + caption); }
    void SetNormalState() override { m_log.Add(m_name + ".WindowState=0"); }
    void SetMousePointer(int pointer) override {
        m_log.Add(m_name + ".MousePointer=" + QString::number(pointer));
    }
    int Width() const override { return width; }
    int Height() const override { return height; }
    int ScreenWidth() const override { return screenWidth; }
    int ScreenHeight() const override { return screenHeight; }
    void Move(int left, int top) override {
        m_log.Add(m_name + ".Move=" + QString::number(left) + "," + QString::number(top));
    }

    int width = 6705, height = 6600, screenWidth = 15360, screenHeight = 11520;  // twips
    // Raised after Show, as the real window raises its activation event.
    std::function<void()> onShow;

private:
    EventLog& m_log;
    QString m_name;
    bool m_visible = false;
};

}  // namespace stowix::test
