#pragma once
// The rows and cursor of one recordset.
//
// A simple table query is keyset-based: the matching rowids are fetched at
// open, in rowid order, and a row's values are read when the cursor reaches
// it; such a recordset can be edited. Any other query is a read-only
// snapshot with every row read at open.
//
// All members except connection() must be called inside Connection::run().
#include "platform/dao/detail/Connection.h"
#include "runtime/Variant.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace dao::detail {

class RecordsetImpl {
public:
    static std::unique_ptr<RecordsetImpl> open(std::shared_ptr<Connection> connection, const QString& sql);

    Connection& connection() const { return *connection_; }

    void ensureOpen() const; // 3420 once closed
    void close();

    bool eof() const { return rowCount() == 0 || position_ >= rowCount(); }
    bool bof() const { return rowCount() == 0 || position_ < 0; }
    std::int32_t recordCount() const;
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    int fieldCount() const { return static_cast<int>(fieldNames_.size()); }
    int fieldIndex(const QString& name) const; // 3265 when absent
    const QString& fieldName(int index) const { return fieldNames_[static_cast<std::size_t>(index)]; }
    vb::Variant value(int field);
    void setValue(int field, const vb::Variant& value); // 3020 unless editing

    void edit();
    void update(int updateType);
    void cancelUpdate();

private:
    using Row = std::vector<vb::Variant>;

    explicit RecordsetImpl(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {}
    bool openKeyset(const QString& sql); // false when the query has another shape
    void openSnapshot(const QString& sql);
    std::ptrdiff_t rowCount() const {
        return static_cast<std::ptrdiff_t>(table_ ? keys_.size() : rows_.size());
    }
    void moveTo(std::ptrdiff_t position);
    const Row& currentRow();
    void readAhead();

    std::shared_ptr<Connection> connection_;
    bool closed_ = false;
    std::vector<QString> fieldNames_;
    std::ptrdiff_t position_ = 0;

    // Keyset: the table, its columns behind each field and the rowids.
    std::shared_ptr<const TableInfo> table_;
    std::vector<int> columns_;
    QByteArray rowSql_;
    std::vector<std::int64_t> keys_;
    // Rows read ahead from batchStart_ on (nothing where a row has gone):
    // each read of the file takes and drops a lock, so one read serves many
    // moves. Our own connection's writes make the batch stale.
    std::vector<std::optional<Row>> batch_;
    std::ptrdiff_t batchStart_ = 0;
    std::uint64_t batchWriteCount_ = 0;

    // Snapshot: every row; readOnlyReason_ says why it cannot be edited.
    std::vector<Row> rows_;
    QString readOnlyReason_;

    std::optional<Row> editBuffer_;
    std::vector<bool> changed_;
};

} // namespace dao::detail
