#pragma once
// The program run from a terminal or a script: `--source PATH [--target
// PATH]` revises the target without a window, shows progress on standard
// error, and ends with one summary line (status 0) or the error's number and
// description (status 1). Ctrl-C stops the run as 中止 does.
class QCoreApplication;

// Whether the program was started with arguments (without any, the window opens).
bool WantsCommandLine(int argc, char** argv);

// Parses the application's arguments, runs, and returns the exit status.
int RunCommandLine(QCoreApplication& app);
