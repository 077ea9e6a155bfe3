#pragma once

class QApplication;

// The program's start: title, main window, data module, then the event loop. Returns the exit code.
int RunProgram(QApplication& app);
