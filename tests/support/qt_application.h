// The one application object of a test executable, whose event loop the code
// under test and the tests' masters share; offscreen unless the environment
// names a platform. Each executable registers it once, as an inline variable
// of a header its tests share: inline auto* const kApp = UseApplication<...>();
#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace tarvik::test {

template <class App>
class ApplicationEnvironment final : public ::testing::Environment {
public:
    explicit ApplicationEnvironment(void (*then)()) : then_(then) {}
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<App>(argc_, argv_);
        if (then_) then_();
    }
    void TearDown() override { app_.reset(); }

private:
    void (*then_)();
    int argc_ = 1;
    char name_[8] = "tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<App> app_;
};

// `then` runs once the application exists (a font to set, for example).
template <class App>
::testing::Environment* UseApplication(void (*then)() = nullptr) {
    return ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<App>(then));
}

}  // namespace tarvik::test
