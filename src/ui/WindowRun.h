#pragma once
// The windowed side of start-up, kept apart so that main() and the headless
// mode need no widgets: the message boxes of the desktop, and the main window
// run until it closes.
#include <memory>

class CounterSession;
class Prompts;
class UnixSignalWatcher;

// QMessageBox and QInputDialog behind the Prompts seam. Needs a QApplication.
std::unique_ptr<Prompts> makeWindowPrompts();

// Shows the main window over `session` (whose settings are loaded), runs the
// event loop and returns its exit code. A termination signal closes the window
// through the same orderly unload as its close box.
int runWindow(CounterSession& session, Prompts& prompts, UnixSignalWatcher& signalWatcher);
