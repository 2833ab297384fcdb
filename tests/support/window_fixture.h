#pragma once
// A fixture over one real window of type W on the offscreen platform: its controls found by
// object name, and the window shown and made active before keys and clicks are sent to it.

#include <gtest/gtest.h>

#include <QLatin1String>
#include <QTest>

#include <utility>

namespace stowix::test {

template <typename W>
class WindowFixture : public testing::Test {
protected:
    // The arguments build the window.
    template <typename... Arguments>
    explicit WindowFixture(Arguments&&... arguments)
        : window(std::forward<Arguments>(arguments)...) {}

    // The window's control of that object name, as type T; a failed expectation when it has none.
    template <typename T = QWidget>
    T* Child(const char* name) {
        T* child = window.template findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    // Keys and clicks reach only the active window.
    void ShowActive() {
        window.Form().Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    W window;
};

}  // namespace stowix::test
