#pragma once
// One open database file, whatever its kind, as the DAO objects (Dao.h) see
// it: recordsets opened over it, each call serialised with the file's own
// background work, closing and letting go.
#include "platform/dao/Cursor.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace dao {

// A non-owning reference to something callable as void(): what Store::call
// runs, without allocating on every call of the object model.
class FunctionRef {
public:
    template <class F>
        requires(!std::is_same_v<std::remove_cvref_t<F>, FunctionRef>)
    FunctionRef(F& f) noexcept // NOLINT: stands in for the callable it refers to
        : object_(static_cast<void*>(&f)), invoke_([](void* o) { (*static_cast<F*>(o))(); }) {}
    void operator()() const { invoke_(object_); }

private:
    void* object_;
    void (*invoke_)(void*);
};

// Counts kept by one open file, so that tests and benchmarks can tell which
// way the work went.
struct Statistics {
    std::uint64_t lookupsBuilt = 0;   // in-memory key lookups built
    std::uint64_t lookupAnswers = 0;  // keyed opens answered by one
    std::uint64_t updatesHeld = 0;    // updates held to be applied later
    std::uint64_t updatesBatched = 0; // held updates applied on the commit timer's thread
};

class Store {
public:
    virtual ~Store() = default;

    // Runs one call of the object model (`f` may use this store and its
    // cursors). Raises 3420 once closed; an error leaving f first makes the
    // updates already accepted durable, so a failure never takes earlier
    // work with it.
    virtual void call(FunctionRef f) = 0;
    // Inside call(): a recordset over the rows of a reading query.
    virtual std::unique_ptr<Cursor> openRecordset(const QString& sql) = 0;
    // Makes every accepted update durable and closes; raises what failed.
    virtual void close() = 0;
    // The DAO object let go without Close: make pending updates durable, quietly.
    virtual void release() noexcept = 0;

    virtual const QString& path() const = 0;
    virtual Statistics statistics() const = 0;

    // call() for a callable with a result.
    template <class F>
    auto run(F&& f) -> std::invoke_result_t<F&> {
        using R = std::invoke_result_t<F&>;
        if constexpr (std::is_void_v<R>) {
            call(f);
        } else {
            std::optional<R> result;
            auto body = [&] { result.emplace(f()); };
            call(body);
            return std::move(*result);
        }
    }
};

} // namespace dao
