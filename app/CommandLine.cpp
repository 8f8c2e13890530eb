#include "app/CommandLine.h"

#include "platform/ui/App.h"
#include "platform/ui/ErrorReport.h"
#include "revision/Revision.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int kUsageStatus = 2;
// A terminal's counter is redrawn this often; a log gets a line for each
// hundredth of the rows, so a long run shows it is moving without flooding.
constexpr qint64 kTerminalRefreshMs = 100;
constexpr int kLogLines = 100;

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted.store(true);
    // A second Ctrl-C ends the program at once, as a user who insists expects.
    ::signal(SIGINT, SIG_DFL);
}

// Restores the default Ctrl-C for whatever runs after.
class InterruptHandler {
public:
    InterruptHandler() {
        interrupted.store(false);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        ::sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptHandler() { ::sigaction(SIGINT, &previous_, nullptr); }
    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

private:
    struct sigaction previous_ {};
};

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

QString tr(const char* text) {
    return QCoreApplication::translate("CommandLine", text);
}

// Progress on standard error: one line redrawn on a terminal, a plain
// counter line now and then otherwise.
class TerminalProgress final : public revision::Progress {
public:
    TerminalProgress() : terminal_(::isatty(STDERR_FILENO) == 1) { sinceLast_.start(); }
    ~TerminalProgress() override {
        if (drawn_)
            print(stderr, QStringLiteral("\n"));
    }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // The total is shown at once, so a log says the rows have begun.
    void total(int rows) override {
        total_ = rows;
        show();
    }
    void done(int rows) override {
        done_ = rows;
        const bool due = terminal_ ? sinceLast_.elapsed() >= kTerminalRefreshMs || rows == total_
                                   : hundredths(rows) != hundredths(shown_);
        if (due)
            show();
    }
    bool stopRequested() override { return interrupted.load(); }

private:
    std::int64_t hundredths(int rows) const {
        return total_ > 0 ? std::int64_t{rows} * kLogLines / total_ : 0;
    }

    void show() {
        sinceLast_.restart();
        shown_ = done_;
        const QString counter = tr("%1 / %2 rows").arg(done_).arg(total_);
        print(stderr, terminal_ ? QStringLiteral("\r") + counter : counter + QStringLiteral("\n"));
        drawn_ = terminal_;
    }

    const bool terminal_;
    QElapsedTimer sinceLast_;
    int done_ = 0;
    int shown_ = 0;
    int total_ = 0;
    bool drawn_ = false;
};

} // namespace

bool WantsCommandLine(int argc, char** /*argv*/) {
    return argc > 1;
}

int RunCommandLine(QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Revises the building master (棟マスタ) of the newer database from the older one's."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption sourceOption(QStringLiteral("source"), tr("The older edition's database."),
                                          tr("path"));
    const QCommandLineOption targetOption(QStringLiteral("target"),
                                          tr("The newer edition's database (default: Q_db/Q5ProDB.mdb beside the program)."),
                                          tr("path"));
    parser.addOption(sourceOption);
    parser.addOption(targetOption);
    if (!parser.parse(app.arguments())) {
        print(stderr, parser.errorText() + QStringLiteral("\n") + tr("Try '--help'.") + QStringLiteral("\n"));
        return kUsageStatus;
    }
    if (parser.isSet(helpOption)) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(versionOption)) {
        print(stdout, QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion() +
                          QLatin1Char('\n'));
        return 0;
    }
    if (!parser.isSet(sourceOption) || !parser.positionalArguments().isEmpty()) {
        print(stderr, tr("Give the source database with --source PATH.") + QStringLiteral("\n") + tr("Try '--help'.") +
                          QStringLiteral("\n"));
        return kUsageStatus;
    }
    const QString target = parser.isSet(targetOption) ? parser.value(targetOption)
                                                      : revision::TargetUnder(platform::App::Path());

    platform::ErrorReportRequest error;
    try {
        InterruptHandler ctrlC;
        TerminalProgress progress;
        const revision::Outcome outcome = revision::Revise(parser.value(sourceOption), target, progress);
        print(stdout, tr("Done: %1 rows read, %2 revised, %3 not found in the target.")
                          .arg(outcome.read)
                          .arg(outcome.revised)
                          .arg(outcome.notFound) +
                          QStringLiteral("\n"));
        return 0;
    } catch (const std::exception&) {
        error = platform::CaughtError();
    }
    print(stderr, QCoreApplication::translate("ErrorReport", "Run-time error '%1':\n\n%2")
                          .arg(error.number)
                          .arg(error.description) +
                      QStringLiteral("\n"));
    return platform::kErrorExitStatus;
}
