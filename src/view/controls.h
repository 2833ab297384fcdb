#pragma once
// The controls of the program's windows as the logic sees them. Each is implemented twice: by
// the Qt layer over real widgets (gui/) and by the tests' fakes. Setting a value raises
// the control's change event, as the program's toolkit does: a check box's click handler runs
// when SetValue changes the value; a folder list's change handler runs, nested inside the caller,
// when SetPath changes the path.

#include <QString>

#include <functional>

namespace stowix {

// Anything that can be greyed: buttons, check boxes, folder lists and top-level menus (a
// disabled menu disables all its items).
class Control {
public:
    virtual ~Control() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool IsEnabled() const = 0;
};

class CheckBox : public Control {
public:
    virtual int Value() const = 0;  // 0 unchecked, 1 checked
    // Raises the click handler when value differs from the current one.
    virtual void SetValue(int value) = 0;
    virtual void SetClickHandler(std::function<void()> handler) = 0;
};

class Label {
public:
    virtual ~Label() = default;
    virtual QString Caption() const = 0;
    virtual void SetCaption(const QString& caption) = 0;
};

class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual int Value() const = 0;  // 0 to 100
    virtual void SetValue(int value) = 0;
    virtual bool IsVisible() const = 0;
    virtual void SetVisible(bool visible) = 0;
};

class StatusBar {
public:
    virtual ~StatusBar() = default;
    virtual QString Text() const = 0;
    virtual void SetText(const QString& text) = 0;
};

// An animation player for AVI clips.
class Animation {
public:
    virtual ~Animation() = default;
    virtual bool Open(const QString& path) = 0;  // false when the clip cannot be read
    virtual void Play() = 0;                     // over and over, until Stop
    virtual void Stop() = 0;
    virtual void Close() = 0;
};

// The hidden multimedia control that plays wave sounds, driven by string commands ("Close",
// "Open", "Play") after its device type, file name and wait flag are set.
class MultimediaControl {
public:
    virtual ~MultimediaControl() = default;
    virtual void SetDeviceType(const QString& deviceType) = 0;
    virtual void SetFileName(const QString& fileName) = 0;
    virtual void SetWait(bool wait) = 0;
    // With the wait flag set, "Play" returns when the sound has finished, bounded by the clip's
    // length so that a missing or silent device never stalls the caller.
    virtual void Command(const QString& command) = 0;
};

// The folder list: the folders from the drive root down to the current one, then the current
// one's subfolders. A double-click on an entry makes it the current path.
class FolderList : public Control {
public:
    virtual QString Path() const = 0;  // a DOS path such as "C:\Stowix"
    // Raises the change handler, nested inside the caller, when path differs from the current one.
    virtual void SetPath(const QString& path) = 0;
    virtual void SetChangeHandler(std::function<void()> handler) = 0;
    virtual void SetToolTip(const QString& toolTip) = 0;
};

// A top-level window. Sizes and positions are in twips (1/1440 inch, 15 to a pixel).
class Window {
public:
    virtual ~Window() = default;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool IsVisible() const = 0;
    // Paints pending changes at once, without waiting for the event loop.
    virtual void Repaint() = 0;
    virtual void SetCaption(const QString& caption) = 0;
    // Returns the window from minimised or maximised to the normal state.
    virtual void SetNormalState() = 0;
    // 13 = arrow with hourglass, 0 = the default pointer.
    virtual void SetMousePointer(int pointer) = 0;
    virtual int Width() const = 0;  // the outer size, in twips
    virtual int Height() const = 0;
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;
    virtual void Move(int left, int top) = 0;
};

}  // namespace stowix
