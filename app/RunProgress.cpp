#include "app/RunProgress.h"

#include <QCoreApplication>

namespace {

// The dialog appears only for runs long enough to wonder about.
constexpr qint64 kShowAfterMs = 1000;
// Often enough that a stop takes effect at once, rarely enough to cost nothing.
constexpr qint64 kRefreshEveryMs = 50;

} // namespace

RunProgress::RunProgress(QWidget* window) : dialog_(window) {
    dialog_.setWindowTitle(QStringLiteral(u"棟データ修正"));
    dialog_.setCancelButtonText(QStringLiteral(u"中止"));
    dialog_.setWindowModality(Qt::ApplicationModal);
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
    // Until the modal dialog is up, nothing the user does may reach the
    // main window (a second click on Execute would start a second run).
    QCoreApplication::processEvents(dialog_.isVisible() ? QEventLoop::AllEvents
                                                        : QEventLoop::ExcludeUserInputEvents);
}
