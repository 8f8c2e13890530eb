#include "platform/dao/Dao.h"

#include "platform/dao/ErrorCodes.h"
#include "platform/dao/detail/Connection.h"
#include "platform/dao/detail/RecordsetImpl.h"

#include <QCoreApplication>

namespace dao {

DBEngine::DBEngine() : defaultWorkspace_(std::make_shared<Workspace>()) {}

DBEngine::~DBEngine() = default;

DBEnginePtr DBEngine::create() {
    const int rc = sqlite3_initialize();
    // The commit timer uses a connection from a second thread.
    if (rc != SQLITE_OK || !sqlite3_threadsafe())
        vb::raise(err::kDatabaseError,
                  QCoreApplication::translate("dao", "The database engine could not be started: %1")
                      .arg(QString::fromUtf8(sqlite3_errstr(rc))));
    return DBEnginePtr(new DBEngine());
}

WorkspacesPtr DBEngine::Workspaces() {
    return std::make_shared<dao::Workspaces>(shared_from_this());
}

WorkspacePtr Workspaces::Item(std::int16_t index) {
    if (index != 0)
        vb::raise(err::kItemNotFound,
                  QCoreApplication::translate("dao", "Item not found in this collection: workspace %1.").arg(index));
    return engine_->defaultWorkspace_;
}

DatabasePtr Workspace::OpenDatabase(const QString& name, vb::Boolean options, vb::Boolean readOnly,
                                    const QString& connect) {
    return std::make_shared<Database>(
        detail::Connection::open(name, connect, vb::isTrue(options), vb::isTrue(readOnly)));
}

Database::Database(std::shared_ptr<detail::Connection> connection) : connection_(std::move(connection)) {}

Database::~Database() {
    // Recordsets may still hold the connection; the updates must not wait for them.
    connection_->release();
}

RecordsetPtr Database::OpenRecordset(const QString& name) {
    return connection_->run(
        [&] { return std::make_shared<Recordset>(detail::RecordsetImpl::open(connection_, name)); });
}

void Database::Close() {
    connection_->close();
}

QString Database::Name() const {
    return connection_->path();
}

Recordset::Recordset(std::unique_ptr<detail::RecordsetImpl> impl) : impl_(std::move(impl)) {}

Recordset::~Recordset() = default;

template <class F>
auto Recordset::use(F&& f) const {
    detail::RecordsetImpl& impl = *impl_;
    return impl.connection().run([&] {
        impl.ensureOpen();
        return f(impl);
    });
}

vb::Boolean Recordset::Eof() const {
    return use([](detail::RecordsetImpl& r) { return vb::toBoolean(r.eof()); });
}

vb::Boolean Recordset::Bof() const {
    return use([](detail::RecordsetImpl& r) { return vb::toBoolean(r.bof()); });
}

void Recordset::MoveFirst() {
    use([](detail::RecordsetImpl& r) { r.moveFirst(); });
}

void Recordset::MoveLast(int) {
    use([](detail::RecordsetImpl& r) { r.moveLast(); });
}

void Recordset::MoveNext() {
    use([](detail::RecordsetImpl& r) { r.moveNext(); });
}

void Recordset::MovePrevious() {
    use([](detail::RecordsetImpl& r) { r.movePrevious(); });
}

std::int32_t Recordset::RecordCount() const {
    return use([](detail::RecordsetImpl& r) { return r.recordCount(); });
}

FieldsPtr Recordset::Fields() {
    use([](detail::RecordsetImpl&) {});
    return std::make_shared<dao::Fields>(shared_from_this());
}

vb::Variant Recordset::Collect(const QString& item) const {
    return use([&](detail::RecordsetImpl& r) { return r.value(r.fieldIndex(item)); });
}

void Recordset::SetCollect(const QString& item, const vb::Variant& value) {
    use([&](detail::RecordsetImpl& r) { r.setValue(r.fieldIndex(item), value); });
}

void Recordset::Edit() {
    use([](detail::RecordsetImpl& r) { r.edit(); });
}

void Recordset::Update(int updateType, bool) {
    use([&](detail::RecordsetImpl& r) { r.update(updateType); });
}

void Recordset::CancelUpdate() {
    use([](detail::RecordsetImpl& r) { r.cancelUpdate(); });
}

void Recordset::Close() {
    use([](detail::RecordsetImpl& r) { r.close(); });
}

FieldPtr Fields::Item(const QString& name) {
    const QString canonical = owner_->use([&](detail::RecordsetImpl& r) { return r.fieldName(r.fieldIndex(name)); });
    return std::make_shared<Field>(owner_, canonical);
}

std::int16_t Fields::Count() const {
    return owner_->use([](detail::RecordsetImpl& r) { return static_cast<std::int16_t>(r.fieldCount()); });
}

vb::Variant Field::Value() const {
    return owner_->Collect(name_);
}

void Field::SetValue(const vb::Variant& value) {
    owner_->SetCollect(name_, value);
}

} // namespace dao
