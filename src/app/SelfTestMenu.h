#pragma once
// Help > Interface Self-Test...: the self-test the command line runs, on the interface chosen
// in the window's device list, its report in a window of its own (SelfTestDialog). The test
// needs the interface to itself: a running measurement must be stopped first, an open
// interface is closed for it and opened again afterwards.

namespace tarvio {

class TfrmMain;

void runInterfaceSelfTest(TfrmMain& window);

// How long each counting phase of the self-test lasts (2 s; tests shorten it).
void setSelfTestCountingSeconds(double seconds);

} // namespace tarvio
