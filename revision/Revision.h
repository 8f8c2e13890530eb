#pragma once
// One revision of the target's building master from the source's, as
// Execute runs it, without a window: the engine object sequence (open both,
// read every source row, look each number up in the target, write the first
// match's junior-high district, close both). Callers watch and stop it
// through Progress; errors are raised as vb::RuntimeError.
#include "platform/dao/Dao.h"

#include <QString>

#include <cstdint>

namespace revision {

// The fixed passwords of the two editions and where the target lies under
// the program folder ("\" reads as "/").
extern const QString kSourcePassword;
extern const QString kTargetPassword;
extern const QString kTargetRelativePath;

// The target under a program folder, as the window builds it: the folder,
// a "\" unless it ends in one, then kTargetRelativePath.
QString TargetUnder(const QString& programFolder);

// What a run did.
struct Outcome {
    std::int64_t read = 0;     // source rows read
    std::int64_t revised = 0;  // target rows written (a number repeated in the source is written again)
    std::int64_t notFound = 0; // source rows whose building number the target lacks
};

// What a caller sees of a run in progress. Called on the run's thread.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void total(int /*rows*/) {}
    virtual void done(int /*rows*/) {}
    // Asked between rows and, through the engine, inside long reads; true
    // stops the run with error 18 (rows written so far stay written).
    virtual bool stopRequested() { return false; }
};

// The process-wide engine object: created by the first open, never released.
// Its interrupt check asks the progress of the run in progress, if any.
const dao::DBEnginePtr& Engine();

// Which side of the revision a file is: the source is only read, so it is
// worked on from a thread of its own that a stop never waits for.
enum class Side { source, target };

// Opens a database file through the engine's default workspace, shared and
// read-write, with the password given.
void OpenDatabase(dao::DatabasePtr& db, const QString& path, const QString& password, Side side);

// Closes recordsets before databases, releasing each one closed; a failing
// Close stops there and keeps its reference.
void CloseAll(dao::DatabasePtr& dbwk, dao::RecordsetPtr& rswk, dao::DatabasePtr& dbwk1, dao::RecordsetPtr& rswk1,
              dao::DatabasePtr& dbwk2, dao::RecordsetPtr& rswk2, dao::DatabasePtr& dbwk3, dao::RecordsetPtr& rswk3);

// The run in progress (runs never nest): while one lives, the engine's
// interrupt check asks its progress.
class Run {
public:
    explicit Run(Progress& progress);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // The row loop over open databases: the source query into `source`,
    // each keyed query into `target`.
    Outcome reviseRows(const dao::DatabasePtr& sourceDb, const dao::DatabasePtr& targetDb, dao::RecordsetPtr& source,
                       dao::RecordsetPtr& target);

    static Run* current() { return current_; }
    Progress& progress() { return progress_; }

private:
    Progress& progress_;
    static inline Run* current_ = nullptr;
};

// A whole run: the source, then the target, opened; the rows revised; both
// closed. Without a completion box: the caller says it is done.
Outcome Revise(const QString& sourcePath, const QString& targetPath, Progress& progress);

} // namespace revision
