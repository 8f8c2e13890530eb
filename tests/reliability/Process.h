#pragma once
// A helper process started from a test, with its standard output on a pipe
// read line by line. Destroying the object kills and reaps a process still
// running, so a failing test leaves nothing behind.
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <chrono>
#include <optional>

namespace reliability {

// Set in the new process before it starts the program.
struct Limits {
    std::optional<unsigned long long> fileSizeLimit; // RLIMIT_FSIZE, in bytes
    bool ignoreFileSizeSignal = false;               // SIGXFSZ ignored: writes fail with EFBIG instead
    std::optional<uid_t> user;                       // run as this user (and its group)
};

class Process {
public:
    Process(const QString& program, const QStringList& arguments, const Limits& limits = {});
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // The next line whose text starts with one of the prefixes (earlier lines
    // are kept in output()); nothing at the end of output or after timeout.
    std::optional<QString> waitForLine(const QStringList& prefixes, std::chrono::milliseconds timeout);
    // Waits for the process to end and returns its exit status, -signal when a
    // signal ended it; nothing after timeout (the process is then killed).
    std::optional<int> finish(std::chrono::milliseconds timeout);
    void kill(); // SIGKILL, then reaps
    const QStringList& output() const { return lines_; }

private:
    bool readMore(std::chrono::milliseconds timeout);
    pid_t pid_ = -1;
    int out_ = -1;
    QByteArray pending_;
    QStringList lines_;
    qsizetype consumed_ = 0;
    std::optional<int> status_;
};

// The helper program built beside the tests.
QString childProgram();

// How one revision run of the helper ("tou-rel-child run") ended.
struct ChildRun {
    std::optional<QString> line;      // "done ..." or "error <number> <description>"
    std::optional<long long> peakKib; // its peak resident memory, when asked for
    std::optional<int> status;        // nothing when it had to be killed
    QStringList output;
};

// Runs the revision of a program folder's target from `source` in the helper
// and waits for its end (at most `timeout` for the run).
ChildRun runChild(const QString& programDir, const QString& source, bool peak, std::chrono::seconds timeout);

// The helper's last word is error `number`, naming `source` (a test expectation).
void expectErrorNaming(const QString& line, int number, const QString& source);

} // namespace reliability
