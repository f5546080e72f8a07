#pragma once
// Help > Interface Self-Test...: the self-test's report as the command line prints it, in a
// window of its own, with a button that saves it (text, or JSON for a .json name) for a bug
// report. Shown without blocking the main window.

#include "selftest/SelfTestReport.h"

#include <QDialog>

class QPlainTextEdit;

namespace tarvio {

class SelfTestDialog : public QDialog {
public:
    SelfTestDialog(QWidget* parent, SelfTestReport report);

    const SelfTestReport& report() const { return report_; }

private:
    void save();

    SelfTestReport report_;
    QPlainTextEdit* text_;
};

} // namespace tarvio
