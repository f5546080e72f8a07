#pragma once
// The one QApplication of a GUI test binary: made before the first test, gone after the
// last. `prepare` runs just before it is made, for what Qt reads only at start (the
// platform, the scale factor).

#include "app/QtDecimalSeparator.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

namespace tarvio::test {

class QtTestApplication : public ::testing::Environment {
public:
    explicit QtTestApplication(std::function<void()> prepare = {}) : prepare_(std::move(prepare)) {}

    void SetUp() override {
        // Run the binary by hand and it still needs no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (prepare_)
            prepare_();
        if (!QApplication::instance())
            app_ = std::make_unique<QApplication>(argc_, argv_);
        useQtDecimalSeparator();
    }
    void TearDown() override { app_.reset(); }

private:
    std::function<void()> prepare_;
    int argc_ = 1;
    char name_[16] = "tarvio-gui-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

} // namespace tarvio::test
