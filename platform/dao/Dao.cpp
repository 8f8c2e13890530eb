#include "platform/dao/Dao.h"

#include "platform/dao/Errors.h"
#include "platform/dao/OpenStore.h"
#include "platform/dao/ThreadedStore.h"
#include "platform/dao/sqlcipher/MemoryBudget.h"

#include <sqlcipher/sqlite3.h>

namespace dao {

DBEngine::DBEngine()
    : interrupt_(std::make_shared<InterruptCheck>()), defaultWorkspace_(std::make_shared<Workspace>(interrupt_)) {}

DBEngine::~DBEngine() = default;

DBEnginePtr DBEngine::create() {
    const int rc = sqlite3_initialize();
    // The commit timer uses a connection from a second thread.
    if (rc != SQLITE_OK || !sqlite3_threadsafe())
        throw errors::engineNotStarted(QString::fromUtf8(sqlite3_errstr(rc)));
    // The library built with the program, not some other one found first.
    if (sqlite3_libversion_number() != SQLITE_VERSION_NUMBER)
        throw errors::engineNotStarted(QString::fromUtf8(sqlite3_libversion()));
    // A file made to exhaust memory meets an out-of-memory error well before
    // the desktop runs short (MemoryBudget.h: the rest of the process fits
    // beside it under 1 GiB).
    sqlite3_hard_heap_limit64(detail::kSqliteHeapBytes);
    return DBEnginePtr(new DBEngine());
}

WorkspacesPtr DBEngine::Workspaces() {
    return std::make_shared<dao::Workspaces>(shared_from_this());
}

WorkspacePtr Workspaces::Item(std::int16_t index) {
    if (index != 0)
        throw errors::workspaceNotFound(index);
    return engine_->defaultWorkspace_;
}

DatabasePtr Workspace::OpenDatabase(const QString& name, vb::Boolean options, vb::Boolean readOnly,
                                    const QString& connect) {
    return std::make_shared<Database>(openStore(name, connect, vb::isTrue(options), vb::isTrue(readOnly), interrupt_));
}

DatabasePtr Workspace::OpenDatabaseApart(const QString& name, vb::Boolean options, vb::Boolean readOnly,
                                         const QString& connect) {
    return std::make_shared<Database>(
        openOnOwnThread(name, connect, vb::isTrue(options), vb::isTrue(readOnly), interrupt_));
}

Database::Database(std::shared_ptr<Store> store) : store_(std::move(store)) {}

Database::~Database() {
    // Recordsets may still hold the store; the updates must not wait for them.
    store_->release();
}

RecordsetPtr Database::OpenRecordset(const QString& name) {
    return store_->run([&] { return std::make_shared<Recordset>(store_, store_->openRecordset(name)); });
}

void Database::Close() {
    store_->close();
}

QString Database::Name() const {
    return store_->path();
}

dao::Statistics Database::statistics() const {
    return store_->statistics();
}

Recordset::Recordset(std::shared_ptr<Store> store, std::unique_ptr<Cursor> cursor)
    : store_(std::move(store)), cursor_(std::move(cursor)) {}

Recordset::~Recordset() = default;

template <class F>
auto Recordset::use(F&& f) const {
    Cursor& cursor = *cursor_;
    return store_->run([&] {
        cursor.ensureOpen();
        return f(cursor);
    });
}

vb::Boolean Recordset::Eof() const {
    return use([](Cursor& c) { return vb::toBoolean(c.eof()); });
}

vb::Boolean Recordset::Bof() const {
    return use([](Cursor& c) { return vb::toBoolean(c.bof()); });
}

void Recordset::MoveFirst() {
    use([](Cursor& c) { c.moveFirst(); });
}

void Recordset::MoveLast(int) {
    use([](Cursor& c) { c.moveLast(); });
}

void Recordset::MoveNext() {
    use([](Cursor& c) { c.moveNext(); });
}

void Recordset::MovePrevious() {
    use([](Cursor& c) { c.movePrevious(); });
}

std::int32_t Recordset::RecordCount() const {
    return use([](Cursor& c) { return c.recordCount(); });
}

FieldsPtr Recordset::Fields() {
    use([](Cursor&) {});
    return std::make_shared<dao::Fields>(shared_from_this());
}

vb::Variant Recordset::Collect(const QString& item) const {
    return use([&](Cursor& c) { return c.value(c.fieldIndex(item)); });
}

void Recordset::SetCollect(const QString& item, const vb::Variant& value) {
    use([&](Cursor& c) { c.setValue(c.fieldIndex(item), value); });
}

void Recordset::Edit() {
    use([](Cursor& c) { c.edit(); });
}

void Recordset::Update(int updateType, bool) {
    use([&](Cursor& c) { c.update(updateType); });
}

void Recordset::CancelUpdate() {
    use([](Cursor& c) { c.cancelUpdate(); });
}

void Recordset::Close() {
    use([](Cursor& c) { c.close(); });
}

FieldPtr Fields::Item(const QString& name) {
    const QString canonical = owner_->use([&](Cursor& c) { return c.fieldName(c.fieldIndex(name)); });
    return std::make_shared<Field>(owner_, canonical);
}

std::int16_t Fields::Count() const {
    return owner_->use([](Cursor& c) { return static_cast<std::int16_t>(c.fieldCount()); });
}

vb::Variant Field::Value() const {
    return owner_->Collect(name_);
}

void Field::SetValue(const vb::Variant& value) {
    owner_->SetCollect(name_, value);
}

} // namespace dao
