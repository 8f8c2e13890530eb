#include "app/RunProgress.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

namespace {

// The dialog appears only for runs long enough to wonder about.
constexpr qint64 kShowAfterMs = 1000;
// Often enough that a stop takes effect at once, rarely enough to cost nothing.
constexpr qint64 kRefreshEveryMs = 50;

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

InputGate::InputGate(QWidget& open) : open_(open) {
    qApp->installEventFilter(this);
}

InputGate::~InputGate() {
    qApp->removeEventFilter(this);
}

bool InputGate::eventFilter(QObject* receiver, QEvent* event) {
    if (!isUserInput(event->type()))
        return false;
    for (QObject* o = receiver; o; o = o->parent())
        if (o == &open_ || (open_.windowHandle() && o == open_.windowHandle()))
            return false;
    return true;
}

RunProgress::RunProgress(QWidget* window) : dialog_(window) {
    dialog_.setWindowTitle(QStringLiteral(u"棟データ修正"));
    dialog_.setCancelButtonText(QStringLiteral(u"中止"));
    // Not modal: a modal dialog would keep the main window's close request
    // from it; the gate keeps the input from it instead.
    dialog_.setWindowModality(Qt::NonModal);
    dialog_.setAutoClose(false);
    dialog_.setAutoReset(false);
    dialog_.setMinimumDuration(0);
    dialog_.setRange(0, 0);
    dialog_.setLabelText(QStringLiteral(u"棟マスタを修正しています…"));
    // The dialog's own timer would show it on the first update; it is shown
    // here, after kShowAfterMs.
    dialog_.cancel();
    dialog_.reset();
    dialog_.hide();
    QObject::connect(&dialog_, &QProgressDialog::canceled, [this] { stop_ = true; });
    QObject::connect(&dialog_, &QDialog::rejected, [this] { stop_ = true; });
    sinceStart_.start();
    sinceRefresh_.start();
    current_ = this;
}

RunProgress::~RunProgress() {
    current_ = nullptr;
}

bool RunProgress::stopRequested() {
    if (!stop_ && sinceRefresh_.elapsed() >= kRefreshEveryMs)
        refresh();
    return stop_;
}

void RunProgress::refresh() {
    sinceRefresh_.restart();
    if (!dialog_.isVisible() && sinceStart_.elapsed() >= kShowAfterMs) {
        dialog_.setRange(0, total_);
        dialog_.show();
    }
    if (dialog_.isVisible()) {
        if (dialog_.maximum() != total_)
            dialog_.setMaximum(total_);
        dialog_.setLabelText(QStringLiteral(u"棟マスタを修正しています… %1 / %2 件").arg(done_).arg(total_));
        dialog_.setValue(std::min(done_, total_));
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
