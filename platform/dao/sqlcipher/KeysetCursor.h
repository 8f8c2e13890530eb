#pragma once
// The editable recordset of a plain table query on an SQLCipher file. The
// matching rowids are fetched at open, in rowid order; a row's values are
// read when the cursor reaches it, in batches of neighbours. Edits are
// written through the store's one write entry point.
//
// Every member is for use inside SqlCipherStore::call().
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/Cursor.h"
#include "platform/dao/SelectParser.h"
#include "platform/dao/sqlcipher/Schema.h"

#include <memory>
#include <optional>
#include <vector>

namespace dao::detail {

class SqlCipherStore;

class KeysetCursor final : public Cursor {
public:
    KeysetCursor(std::shared_ptr<SqlCipherStore> store, std::shared_ptr<const KeysetShape> shape,
                 const std::optional<SimpleSelect::Literal>& literal);

    vb::Variant value(int field) override;
    void setValue(int field, const vb::Variant& value) override;
    void edit() override;
    void update(int updateType) override;
    void cancelUpdate() override;

protected:
    std::ptrdiff_t rowCount() const override { return static_cast<std::ptrdiff_t>(keys_.size()); }
    const std::vector<QString>& fieldNames() const override { return shape_->fieldNames; }
    void moved() override { editing_ = false; }
    void dropRows() override;

private:
    using Row = std::vector<vb::Variant>;
    const Row& currentRow();
    void readAhead();

    std::shared_ptr<SqlCipherStore> store_;
    std::shared_ptr<const KeysetShape> shape_;
    // The rowids, and the store's epoch when they were read: while it
    // stands, every one of those rows exists.
    std::vector<std::int64_t> keys_;
    std::uint64_t keysEpoch_ = 0;
    // Rows read ahead from batchStart_ on (nothing where a row has gone):
    // each read of the file takes and drops a lock, so one read serves many
    // moves. The store's own writes make the batch stale.
    std::vector<std::optional<Row>> batch_;
    std::ptrdiff_t batchStart_ = 0;
    std::uint64_t batchWriteCount_ = 0;
    // What a row of the last batch held on average: the next one reads no
    // more rows than fit the read-ahead budget (MemoryBudget.h) by it.
    std::size_t rowBytes_ = 0;

    // While editing: the values assigned so far. The other fields are read
    // only when asked for, so an edit that assigns one field reads nothing.
    bool editing_ = false;
    Row edits_;
    std::vector<bool> changed_;
};

} // namespace dao::detail
