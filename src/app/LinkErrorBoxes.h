#pragma once
// Error boxes for the link layer: reports of error level made before any interface was opened
// (while no report hook is installed), and the monitoring thread's dead-lock alarm, appear as
// modal message boxes without owner.

#include <functional>
#include <memory>
#include <string>

namespace tarvio {

class LogInbox;

// Installs the sink in the link layer. Call once the QApplication exists.
void installLinkErrorBoxes();
// Back to the link layer's default (standard error).
void removeLinkErrorBoxes();

// For the window's start-up open, while it lasts: the reports about the interface being
// opened go to the log, as every report after that open will, so that a faulty interface
// cannot hold the window back behind a row of boxes nobody is there to answer. A report
// about no interface at all (the open itself failed, nothing is registered) stays the box
// it always was.
class StartupOpenReports {
public:
    StartupOpenReports(std::shared_ptr<LogInbox> log, const std::string& device);
    ~StartupOpenReports();
    StartupOpenReports(const StartupOpenReports&) = delete;
    StartupOpenReports& operator=(const StartupOpenReports&) = delete;

private:
    std::function<void(const char*, const char*)> previous_;
};

} // namespace tarvio
