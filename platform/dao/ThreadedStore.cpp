#include "platform/dao/ThreadedStore.h"

#include "platform/dao/Dao.h"
#include "platform/dao/Errors.h"
#include "platform/dao/OpenStore.h"
#include "platform/dao/sqlcipher/MemoryBudget.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace dao {

namespace {

using Clock = std::chrono::steady_clock;

// The engine bounds the statement text SQLite may expand (Schema.h) so that
// the deepest recursion it allows needs a fraction of this.
constexpr std::size_t kStackBytes = std::size_t{256} << 20;
// How often the caller asks the interrupt check while the thread works.
constexpr auto kAskEvery = std::chrono::milliseconds(20);
// How long a stopped call may take to end before the caller leaves it.
constexpr auto kGrace = std::chrono::milliseconds(150);
// Rows handed over at once: enough to make crossing over cheap, few enough
// bytes that a batch of the largest values stays small beside the rest.
constexpr std::size_t kBatchRows = 512;
constexpr std::size_t kBatchBytes = std::size_t{4} << 20;

// What the caller and the thread share; freed by whichever lets go last.
struct Shared {
    std::mutex mutex;
    std::condition_variable wake; // for the thread: a job, or time to end
    std::condition_variable idle; // for the caller: the job is done
    std::function<void()> job;
    bool busy = false;
    bool quit = false;
    bool ended = false; // the thread is gone: what is left is let go where it is
    std::atomic<bool> stop{false};       // what the file's own interrupt check answers
    std::shared_ptr<Store> store;        // the file, once open
    std::vector<std::unique_ptr<Cursor>> leftovers; // let go on the thread
};

void* threadMain(void* argument) {
    const std::unique_ptr<std::shared_ptr<Shared>> holder(static_cast<std::shared_ptr<Shared>*>(argument));
    Shared& s = **holder;
    std::unique_lock lock(s.mutex);
    for (;;) {
        s.wake.wait(lock, [&] { return s.job || s.quit; });
        if (!s.job)
            break;
        std::function<void()> job = std::move(s.job);
        s.job = nullptr;
        lock.unlock();
        job(); // catches its own errors
        job = nullptr;
        lock.lock();
        s.busy = false;
        s.idle.notify_all();
    }
    // The file and whatever the caller left behind, let go under the lock so
    // that nothing of the file is let go anywhere else at the same time.
    s.leftovers.clear();
    if (s.store)
        s.store->release();
    s.store.reset();
    s.ended = true;
    s.idle.notify_all();
    return nullptr;
}

// The thread and the way calls reach it.
class Worker {
public:
    Worker(const QString& file, InterruptCheckPtr interrupt)
        : shared_(std::make_shared<Shared>()), interrupt_(std::move(interrupt)) {
        pthread_attr_t attributes;
        if (pthread_attr_init(&attributes) != 0)
            throw errors::outOfMemory(file);
        const bool ready = pthread_attr_setstacksize(&attributes, kStackBytes) == 0;
        auto* argument = new std::shared_ptr<Shared>(shared_);
        const bool started = ready && pthread_create(&thread_, &attributes, threadMain, argument) == 0;
        pthread_attr_destroy(&attributes);
        if (!started) {
            delete argument;
            throw errors::outOfMemory(file);
        }
    }

    ~Worker() { end(); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // What the file's own interrupt check asks.
    InterruptCheckPtr fileCheck() const {
        return std::make_shared<InterruptCheck>([s = shared_] { return s->stop.load(std::memory_order_relaxed); });
    }

    const std::shared_ptr<Shared>& shared() const { return shared_; }

    // Runs `body` on the thread and waits, asking the caller's check; raises
    // what body raised, or 18 when a stopped call would not end. `body` must
    // own what it uses: after a stop it may outlive this call.
    template <class R>
    R run(std::function<R()> body) {
        if (left_)
            throw errors::userInterrupt();
        auto result = std::make_shared<std::optional<R>>();
        auto error = std::make_shared<std::exception_ptr>();
        std::unique_lock lock(shared_->mutex);
        if (shared_->quit)
            throw errors::objectInvalid();
        shared_->job = [body = std::move(body), result, error] {
            try {
                result->emplace(body());
            } catch (...) {
                *error = std::current_exception();
            }
        };
        shared_->busy = true;
        shared_->wake.notify_one();
        std::optional<Clock::time_point> leaveAt;
        while (!shared_->idle.wait_for(lock, kAskEvery, [&] { return !shared_->busy; })) {
            if (leaveAt) {
                if (Clock::now() >= *leaveAt) {
                    left_ = true;
                    throw errors::userInterrupt();
                }
                continue;
            }
            lock.unlock();
            const bool stop = interrupt_ && *interrupt_ && (*interrupt_)();
            lock.lock();
            if (stop) {
                shared_->stop = true;
                leaveAt = Clock::now() + kGrace;
            }
        }
        if (*error)
            std::rethrow_exception(*error);
        return std::move(**result);
    }

    // A cursor of the file let go: at once, or on the thread after its call.
    void dispose(std::unique_ptr<Cursor> cursor) noexcept {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->busy || (shared_->quit && !shared_->ended))
            shared_->leftovers.push_back(std::move(cursor));
        else
            cursor.reset();
    }

    // The thread lets the file go and ends; joined (so that what the
    // libraries keep per thread is let go too) unless a stopped call is
    // still running there, which it is then left to finish alone.
    void end() noexcept {
        if (joined_)
            return;
        joined_ = true;
        bool busy = false;
        {
            const std::lock_guard lock(shared_->mutex);
            shared_->quit = true;
            shared_->wake.notify_one();
            busy = shared_->busy;
        }
        if (busy)
            pthread_detach(thread_);
        else
            pthread_join(thread_, nullptr);
    }

    // The file while the thread holds it and no call is left running there.
    std::shared_ptr<Store> file() const {
        const std::lock_guard lock(shared_->mutex);
        return shared_->quit ? nullptr : shared_->store;
    }

private:
    std::shared_ptr<Shared> shared_;
    InterruptCheckPtr interrupt_;
    pthread_t thread_{};
    bool joined_ = false; // joined or detached: end() has run
    bool left_ = false;   // a stopped call was left to the thread
};

// A recordset of the file: rows come over from the thread a batch at a time;
// editing goes to the thread call by call.
class ThreadCursor final : public Cursor {
public:
    ThreadCursor(std::shared_ptr<Worker> worker, std::unique_ptr<Cursor> inner, std::vector<QString> names,
                 std::ptrdiff_t rows)
        : worker_(std::move(worker)), inner_(std::move(inner)), names_(std::move(names)), rows_(rows) {}

    ~ThreadCursor() override { worker_->dispose(std::move(inner_)); }

    vb::Variant value(int field) override {
        ensureCurrent();
        if (editing_)
            return onInner<vb::Variant>([field](Cursor& c) { return c.value(field); });
        if (position_ < first_ || position_ >= first_ + static_cast<std::ptrdiff_t>(batch_.size()))
            fetch();
        return batch_[static_cast<std::size_t>(position_ - first_)][static_cast<std::size_t>(field)];
    }

    void setValue(int field, const vb::Variant& value) override {
        if (!editing_)
            throw errors::updateWithoutEdit();
        onInner<bool>([field, value](Cursor& c) {
            c.setValue(field, value);
            return true;
        });
    }

    void edit() override {
        ensureCurrent();
        const std::ptrdiff_t at = position_;
        onInner<bool>([at](Cursor& c) {
            c.seek(at);
            c.edit();
            return true;
        });
        editing_ = true;
    }

    void update(int updateType) override {
        if (updateType != dbUpdateRegular)
            throw errors::invalidArgument();
        if (!editing_)
            throw errors::updateWithoutEdit();
        editing_ = false;
        batch_.clear();
        rows_ = onInner<std::ptrdiff_t>([updateType](Cursor& c) {
            c.update(updateType);
            return c.rows();
        });
    }

    void cancelUpdate() override {
        if (!editing_)
            throw errors::updateWithoutEdit();
        editing_ = false;
        onInner<bool>([](Cursor& c) {
            c.cancelUpdate();
            return true;
        });
    }

protected:
    std::ptrdiff_t rowCount() const override { return rows_; }
    const std::vector<QString>& fieldNames() const override { return names_; }
    void moved() override { editing_ = false; }
    void dropRows() override {
        batch_.clear();
        batch_.shrink_to_fit();
        onInner<bool>([](Cursor& c) {
            c.close();
            return true;
        });
    }

private:
    template <class R, class F>
    R onInner(F f) {
        Cursor* inner = inner_.get();
        std::shared_ptr<Store> store = worker_->file();
        if (!store)
            throw errors::objectInvalid();
        return worker_->run<R>([inner, store, f] {
            return store->run([&] { return f(*inner); });
        });
    }

    // The batch holding the current row: from it on, or up to it when moving back.
    void fetch() {
        const bool backwards = !batch_.empty() && position_ < first_;
        const std::ptrdiff_t at = position_;
        const std::ptrdiff_t first =
            backwards ? std::max<std::ptrdiff_t>(0, at - static_cast<std::ptrdiff_t>(kBatchRows) + 1) : at;
        const int fields = fieldCount();
        const std::ptrdiff_t end = rows_;
        batch_.clear();
        batch_ = onInner<std::vector<Row>>([first, at, end, fields](Cursor& c) {
            std::vector<Row> rows;
            std::size_t bytes = 0;
            c.seek(first);
            for (std::ptrdiff_t i = first; i < end; ++i) {
                if (i > first)
                    c.moveNext();
                Row row;
                row.reserve(static_cast<std::size_t>(fields));
                try {
                    for (int f = 0; f < fields; ++f) {
                        row.push_back(c.value(f));
                        bytes += detail::heldBytes(row.back());
                    }
                } catch (...) {
                    // Raised when the caller reaches that row, not before.
                    if (i == at)
                        throw;
                    break;
                }
                rows.push_back(std::move(row));
                if (i >= at && (rows.size() >= kBatchRows || bytes >= kBatchBytes))
                    break;
            }
            return rows;
        });
        first_ = first;
    }

    using Row = std::vector<vb::Variant>;
    std::shared_ptr<Worker> worker_;
    std::unique_ptr<Cursor> inner_;
    std::vector<QString> names_;
    std::ptrdiff_t rows_;
    std::vector<Row> batch_;
    std::ptrdiff_t first_ = 0;
    bool editing_ = false;
};

class ThreadedStore final : public Store {
public:
    ThreadedStore(std::shared_ptr<Worker> worker, QString path) : worker_(std::move(worker)), path_(std::move(path)) {}
    ~ThreadedStore() override { worker_->end(); }

    // The cursors are this side's; only their reads cross over.
    void call(FunctionRef f) override {
        if (closed_)
            throw errors::objectInvalid();
        f();
    }

    std::unique_ptr<Cursor> openRecordset(const QString& sql) override {
        struct Opened {
            std::unique_ptr<Cursor> cursor;
            std::vector<QString> names;
            std::ptrdiff_t rows = 0;
        };
        std::shared_ptr<Store> store = worker_->file();
        if (!store)
            throw errors::objectInvalid();
        auto opened = worker_->run<std::shared_ptr<Opened>>([store, sql] {
            auto result = std::make_shared<Opened>();
            auto open = [&] {
                result->cursor = store->openRecordset(sql);
                for (int i = 0; i < result->cursor->fieldCount(); ++i)
                    result->names.push_back(result->cursor->fieldName(i));
                result->rows = result->cursor->rows();
            };
            store->call(open);
            return result;
        });
        return std::make_unique<ThreadCursor>(worker_, std::move(opened->cursor), std::move(opened->names),
                                              opened->rows);
    }

    void close() override {
        if (closed_)
            throw errors::objectInvalid();
        std::shared_ptr<Store> store = worker_->file();
        if (!store)
            throw errors::objectInvalid();
        worker_->run<bool>([store] {
            store->close();
            return true;
        });
        closed_ = true;
        worker_->end();
    }

    void release() noexcept override { worker_->end(); }

    const QString& path() const override { return path_; }
    Statistics statistics() const override {
        const std::shared_ptr<Store> store = worker_->file();
        return store ? store->statistics() : Statistics{};
    }

private:
    std::shared_ptr<Worker> worker_;
    QString path_;
    bool closed_ = false;
};

} // namespace

std::shared_ptr<Store> openOnOwnThread(const QString& name, const QString& connect, bool exclusive, bool readOnly,
                                       InterruptCheckPtr interrupt) {
    auto worker = std::make_shared<Worker>(name, std::move(interrupt));
    std::shared_ptr<Shared> shared = worker->shared();
    InterruptCheckPtr fileCheck = worker->fileCheck();
    const QString path = worker->run<QString>([shared, name, connect, exclusive, readOnly, fileCheck] {
        std::shared_ptr<Store> store = openStore(name, connect, exclusive, readOnly, fileCheck);
        QString opened = store->path();
        const std::lock_guard lock(shared->mutex);
        shared->store = std::move(store);
        return opened;
    });
    return std::make_shared<ThreadedStore>(std::move(worker), path);
}

} // namespace dao
