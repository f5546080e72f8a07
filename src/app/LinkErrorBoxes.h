#pragma once
// Error boxes for the link layer: reports of error level made before any interface was opened
// (while no report hook is installed), and the monitoring thread's dead-lock alarm, appear as
// modal message boxes without owner.

namespace tarvio {

// Installs the sink in the link layer. Call once the QApplication exists.
void installLinkErrorBoxes();
// Back to the link layer's default (standard error).
void removeLinkErrorBoxes();

} // namespace tarvio
