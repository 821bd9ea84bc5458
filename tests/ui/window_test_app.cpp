// One QApplication for every window test, offscreen unless told otherwise.
#include <QApplication>
#include <gtest/gtest.h>

namespace {

class QtApplication final : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = new QApplication(argc_, argv_);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    int argc_ = 1;
    char name_[16] = "window_tests";
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
};

[[maybe_unused]] auto* const registered =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
