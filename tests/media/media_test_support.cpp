#include "media/media_test_support.h"

#include <memory>

namespace stowix::test {

namespace {

std::unique_ptr<QApplication>& Application() {
    static std::unique_ptr<QApplication> application;
    return application;
}

// Qt's own global objects are gone by the time static destructors run, so the application is
// taken down at the end of the test run instead.
class ApplicationEnvironment : public testing::Environment {
public:
    void TearDown() override { Application().reset(); }
};

[[maybe_unused]] const testing::Environment* const environment =
    testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

QApplication& EnsureApplication() {
    static int argc = 1;
    static char name[] = "media_tests";
    static char* argv[] = {name, nullptr};
    if (!Application()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        Application() = std::make_unique<QApplication>(argc, argv);
    }
    return *Application();
}

}  // namespace stowix::test
