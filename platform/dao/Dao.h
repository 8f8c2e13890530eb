#pragma once
// Our stand-in for the DAO object model, over the database files of
// Store.h. Objects are held through counted references (std::shared_ptr):
// letting go of the last reference releases an object, which is not the same
// as closing it. Every failure is raised as vb::RuntimeError with a number
// from ErrorCodes.h.
#include "platform/dao/Interrupt.h"
#include "platform/dao/Store.h"
#include "runtime/Truth.h"
#include "runtime/Variant.h"

#include <QString>
#include <memory>

namespace dao {

class Workspaces;
class Workspace;
class Database;
class Recordset;
class Fields;
class Field;

using DBEnginePtr = std::shared_ptr<class DBEngine>;
using WorkspacesPtr = std::shared_ptr<Workspaces>;
using WorkspacePtr = std::shared_ptr<Workspace>;
using DatabasePtr = std::shared_ptr<Database>;
using RecordsetPtr = std::shared_ptr<Recordset>;
using FieldsPtr = std::shared_ptr<Fields>;
using FieldPtr = std::shared_ptr<Field>;

// UpdateType of Recordset::Update.
inline constexpr int dbUpdateRegular = 1;

class DBEngine : public std::enable_shared_from_this<DBEngine> {
public:
    // "create DBEngine": a usable engine, or a raised error.
    static DBEnginePtr create();
    ~DBEngine();

    WorkspacesPtr Workspaces();
    // Asked now and then while a file opened from now on is read; see Interrupt.h.
    void SetInterruptCheck(InterruptCheck check) { *interrupt_ = std::move(check); }

private:
    DBEngine();
    InterruptCheckPtr interrupt_;
    WorkspacePtr defaultWorkspace_;
    friend class dao::Workspaces;
};

class Workspaces {
public:
    explicit Workspaces(DBEnginePtr engine) : engine_(std::move(engine)) {}
    // Item 0 is the default workspace, always present; any other index raises 3265.
    WorkspacePtr Item(std::int16_t index);
    std::int16_t Count() const { return 1; }

private:
    DBEnginePtr engine_;
};

class Workspace {
public:
    explicit Workspace(InterruptCheckPtr interrupt) : interrupt_(std::move(interrupt)) {}
    // Opens an existing database file. name is a path in which "\"
    // reads as "/". options true asks for exclusive use; readOnly opens for
    // reading only; connect is a connect text such as ";pwd=secret".
    // Never creates a file or folder.
    DatabasePtr OpenDatabase(const QString& name, vb::Boolean options, vb::Boolean readOnly,
                             const QString& connect);
    // OpenDatabase for a file that is only read, worked on from a thread of
    // its own (ThreadedStore.h): no statement in it can exhaust the caller's
    // stack or keep a stop waiting.
    DatabasePtr OpenDatabaseApart(const QString& name, vb::Boolean options, vb::Boolean readOnly,
                                  const QString& connect);

private:
    InterruptCheckPtr interrupt_;
};

class Database {
public:
    explicit Database(std::shared_ptr<Store> store);
    ~Database(); // releases: pending updates are made durable, errors swallowed

    // A recordset over the rows of an SQL query, positioned on the first row.
    // "SELECT <columns or *> FROM <table> [WHERE <column> = <literal>]" gives
    // an editable recordset in the table's stored order; any other reading
    // query gives a read-only snapshot.
    RecordsetPtr OpenRecordset(const QString& name);
    void Close();
    QString Name() const;
    // What the engine did for this file so far (for tests and benchmarks).
    dao::Statistics statistics() const;

private:
    std::shared_ptr<Store> store_;
};

class Recordset : public std::enable_shared_from_this<Recordset> {
public:
    Recordset(std::shared_ptr<Store> store, std::unique_ptr<Cursor> cursor);
    ~Recordset();

    vb::Boolean Eof() const;  // DAO's EOF (the C library reserves that name)
    vb::Boolean Bof() const;
    void MoveFirst();
    void MoveLast(int options = 0);
    void MoveNext();
    void MovePrevious();
    std::int32_t RecordCount() const;

    FieldsPtr Fields();
    // Collect: the current row's (or, while editing, the edit buffer's) value of a column.
    vb::Variant Collect(const QString& item) const;
    // Collect assignment: only while editing (3020 otherwise).
    void SetCollect(const QString& item, const vb::Variant& value);

    void Edit();
    void Update(int updateType = dbUpdateRegular, bool force = false);
    void CancelUpdate();
    void Close();

private:
    friend class Fields;
    friend class Field;
    // Runs f on the open cursor as one call to its store.
    template <class F>
    auto use(F&& f) const;
    std::shared_ptr<Store> store_;
    std::unique_ptr<Cursor> cursor_; // after store_: goes first
};

class Fields {
public:
    explicit Fields(RecordsetPtr owner) : owner_(std::move(owner)) {}
    FieldPtr Item(const QString& name); // 3265 when the column is not in the recordset
    std::int16_t Count() const;

private:
    RecordsetPtr owner_;
};

class Field {
public:
    Field(RecordsetPtr owner, QString name) : owner_(std::move(owner)), name_(std::move(name)) {}
    vb::Variant Value() const;
    void SetValue(const vb::Variant& value);
    const QString& Name() const { return name_; }

private:
    RecordsetPtr owner_;
    QString name_;
};

} // namespace dao
