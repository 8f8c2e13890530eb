#include "tests/reliability/Process.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace reliability {

Process::Process(const QString& program, const QStringList& arguments, const Limits& limits) {
    // Everything the new process needs is made here: after fork only calls
    // that are safe in a copy of a threaded process may run.
    std::vector<QByteArray> storage{program.toLocal8Bit()};
    for (const QString& a : arguments)
        storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& s : storage)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        if (limits.ignoreFileSizeSignal)
            ::signal(SIGXFSZ, SIG_IGN);
        if (limits.fileSizeLimit) {
            const rlimit limit{*limits.fileSizeLimit, *limits.fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(125);
        }
        if (limits.user && (::setgroups(0, nullptr) != 0 || ::setgid(*limits.user) != 0 || ::setuid(*limits.user) != 0))
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    out_ = fds[0];
}

Process::~Process() {
    kill();
    if (out_ >= 0)
        ::close(out_);
}

bool Process::readMore(std::chrono::milliseconds timeout) {
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return false;
    char buf[4096];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n <= 0)
        return false;
    pending_.append(buf, n);
    for (qsizetype nl; (nl = pending_.indexOf('\n')) >= 0; pending_.remove(0, nl + 1))
        lines_ << QString::fromUtf8(pending_.left(nl));
    return true;
}

std::optional<QString> Process::waitForLine(const QStringList& prefixes, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        while (consumed_ < lines_.size()) {
            const QString& line = lines_[consumed_++];
            for (const QString& p : prefixes)
                if (line.startsWith(p))
                    return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !readMore(left))
            return std::nullopt;
    }
}

std::optional<int> Process::finish(std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= until) {
            kill();
            return std::nullopt;
        }
        // Keep the pipe drained so a chatty process cannot block on it.
        if (!readMore(std::chrono::milliseconds(20)))
            ::usleep(20000);
    }
    while (readMore(std::chrono::milliseconds(0))) {
    }
    return status_;
}

void Process::kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    status_ = -SIGKILL;
    pid_ = -1;
}

QString childProgram() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tou-rel-child");
}

ChildRun runChild(const QString& programDir, const QString& source, bool peak, std::chrono::seconds timeout) {
    QStringList arguments{QStringLiteral("run"), programDir, source};
    if (peak)
        arguments << QStringLiteral("--peak");
    Process child(childProgram(), arguments);
    ChildRun run;
    run.line = child.waitForLine({QStringLiteral("done"), QStringLiteral("error ")}, timeout);
    if (peak)
        if (const std::optional<QString> line = child.waitForLine({QStringLiteral("peak-kib ")}, std::chrono::seconds(30)))
            run.peakKib = line->mid(9).toLongLong();
    run.status = child.finish(std::chrono::seconds(30));
    run.output = child.output();
    return run;
}

void expectErrorNaming(const QString& line, int number, const QString& source) {
    EXPECT_TRUE(line.startsWith(QStringLiteral("error %1 ").arg(number))) << line.toStdString();
    EXPECT_TRUE(line.contains(source)) << line.toStdString();
}

} // namespace reliability
