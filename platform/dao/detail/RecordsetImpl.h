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
#include "platform/dao/detail/SelectParser.h"
#include "runtime/Variant.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace dao::detail {

// Whether an update of a column may be held back and applied later
// (PendingWrites): only when nothing in the table can make it fail.
enum class HoldRule : char { Never, Always, UnlessNull };

// What a table's schema says about its columns, read once per table.
struct TableLayout {
    std::vector<HoldRule> holdRules; // per table column
    std::vector<bool> leadsIndex;    // an index or the primary key starts with the column
};

// What every recordset of one editable query shape shares. Worked out at the
// shape's first open and kept by the connection (ShapeCache), so later opens
// that differ only in the literal read nothing of the text but the literal.
struct KeysetShape {
    std::shared_ptr<const TableInfo> table;
    std::vector<int> columns; // the table column behind each field
    std::vector<QString> fieldNames;
    const Column* key = nullptr; // the condition's column; none without a condition
    bool keyIndexed = false;     // an index starts with it: the plain query need not scan the table
    QByteArray keysSql;          // rowids of the matching rows, in rowid order
    QByteArray rowsByListSql;    // rows of up to kReadAhead listed rowids
    QByteArray rowsByRangeSql;   // rows with rowids from ?1 to ?2
    std::vector<HoldRule> holdRules; // per table column

    // The UPDATE of the fields marked in `assigned`, made once per set.
    const QByteArray& updateSql(const std::vector<bool>& assigned) const;

private:
    mutable std::vector<std::pair<std::vector<bool>, QByteArray>> updates_;
};

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

    int fieldCount() const { return static_cast<int>(names().size()); }
    int fieldIndex(const QString& name) const; // 3265 when absent
    const QString& fieldName(int index) const { return names()[static_cast<std::size_t>(index)]; }
    vb::Variant value(int field);
    void setValue(int field, const vb::Variant& value); // 3020 unless editing

    void edit();
    void update(int updateType);
    void cancelUpdate();

private:
    using Row = std::vector<vb::Variant>;

    explicit RecordsetImpl(std::shared_ptr<Connection> connection) : connection_(std::move(connection)) {}
    void openKeyset(std::shared_ptr<const KeysetShape> shape, const std::optional<SimpleSelect::Literal>& literal);
    void openSnapshot(const QString& sql);
    const std::vector<QString>& names() const { return shape_ ? shape_->fieldNames : fieldNames_; }
    std::ptrdiff_t rowCount() const {
        return static_cast<std::ptrdiff_t>(shape_ ? keys_.size() : rows_.size());
    }
    void moveTo(std::ptrdiff_t position);
    const Row& currentRow();
    void readAhead();

    std::shared_ptr<Connection> connection_;
    bool closed_ = false;
    std::ptrdiff_t position_ = 0;

    // Keyset: the shape and the rowids, and the connection's epoch when they
    // were read (while it stands, every one of those rows exists).
    std::shared_ptr<const KeysetShape> shape_;
    std::vector<std::int64_t> keys_;
    std::uint64_t keysEpoch_ = 0;
    // Rows read ahead from batchStart_ on (nothing where a row has gone):
    // each read of the file takes and drops a lock, so one read serves many
    // moves. Our own connection's writes make the batch stale.
    std::vector<std::optional<Row>> batch_;
    std::ptrdiff_t batchStart_ = 0;
    std::uint64_t batchWriteCount_ = 0;

    // Snapshot: the names and every row; readOnlyReason_ says why it cannot
    // be edited.
    std::vector<QString> fieldNames_;
    std::vector<Row> rows_;
    QString readOnlyReason_;

    // While editing: the values assigned so far. The other fields are read
    // only when asked for, so an edit that assigns one field reads nothing.
    bool editing_ = false;
    Row edits_;
    std::vector<bool> changed_;
};

} // namespace dao::detail
