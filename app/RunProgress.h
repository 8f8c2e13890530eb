#pragma once
// The progress of one revision run and the user's way to stop it: a
// dialog that appears after about a second, shows the source rows done of the
// total and offers 中止 (Escape and its close button stop the run too).
// Window events are let through only from here, and no input reaches any
// window but the dialog, so nothing starts a second run; a request to close
// the main window reaches it at any moment and stops the run.
#include "revision/Revision.h"

#include <QElapsedTimer>
#include <QObject>
#include <QProgressDialog>

class QWidget;

// Drops the user's input to every window but one while it lives.
class InputGate final : public QObject {
public:
    explicit InputGate(QWidget& open);
    ~InputGate() override;
    InputGate(const InputGate&) = delete;
    InputGate& operator=(const InputGate&) = delete;

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

private:
    QWidget& open_;
};

class RunProgress final : public revision::Progress {
public:
    explicit RunProgress(QWidget* window);
    ~RunProgress() override;
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    void total(int rows) override { total_ = rows; }
    void done(int rows) override { done_ = rows; }
    // Lets the window breathe now and then; true once the user asked to stop.
    bool stopRequested() override;
    // A close request reached the main window.
    void requestStop() { stop_ = true; }

    // The run in progress, if any (runs are never nested).
    static RunProgress* current() { return current_; }

private:
    void refresh();

    QProgressDialog dialog_;
    InputGate gate_{dialog_};
    QElapsedTimer sinceStart_;
    QElapsedTimer sinceRefresh_;
    int done_ = 0;
    int total_ = 0;
    bool stop_ = false;
    static inline RunProgress* current_ = nullptr;
};
