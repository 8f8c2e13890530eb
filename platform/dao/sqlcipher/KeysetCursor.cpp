#include "platform/dao/sqlcipher/KeysetCursor.h"

#include "platform/dao/Dao.h"
#include "platform/dao/Errors.h"
#include "platform/dao/sqlcipher/SqlCipherStore.h"

#include <algorithm>

namespace dao::detail {

KeysetCursor::KeysetCursor(std::shared_ptr<SqlCipherStore> store, std::shared_ptr<const KeysetShape> shape,
                           const std::optional<SimpleSelect::Literal>& literal)
    : store_(std::move(store)), shape_(std::move(shape)) {
    const KeysetShape& s = *shape_;
    const bool numeric = literal && !std::holds_alternative<QString>(*literal);
    if (s.key && s.key->textAffinity && numeric)
        throw errors::criteriaTypeMismatch(s.key->name, s.table->name, literalValue(*literal).toText(),
                                           store_->path());

    keysEpoch_ = store_->epoch();
    if (numeric) {
        const std::variant<std::int64_t, double> number =
            std::holds_alternative<double>(*literal) ? std::variant<std::int64_t, double>(std::get<double>(*literal))
                                                     : std::get<std::int64_t>(*literal);
        if (std::optional<std::vector<std::int64_t>> rows = store_->lookupRows(*s.table, *s.key, s.keyIndexed, number)) {
            keys_ = std::move(*rows);
            return;
        }
    }
    // The literal keeps its own type, so the comparison is the one the
    // written query makes.
    Query keys(store_->sql(), s.keysSql, Op::Read);
    if (literal)
        keys.bind(1, literalValue(*literal));
    while (keys.next())
        keys_.push_back(keys.int64(0));
}

void KeysetCursor::dropRows() {
    keys_ = {};
    batch_ = {};
    edits_ = {};
}

const KeysetCursor::Row& KeysetCursor::currentRow() {
    ensureCurrent();
    const std::ptrdiff_t offset = position_ - batchStart_;
    if (batchWriteCount_ != store_->writeCount() || offset < 0 || offset >= static_cast<std::ptrdiff_t>(batch_.size()))
        readAhead();
    const std::optional<Row>& row = batch_[static_cast<std::size_t>(position_ - batchStart_)];
    if (!row)
        throw errors::recordDeleted();
    return *row;
}

void KeysetCursor::readAhead() {
    // Read in the direction of travel: forwards from here, or backwards
    // when the cursor came from behind the batch.
    const bool backwards = position_ + 1 == batchStart_;
    const std::ptrdiff_t start = backwards ? std::max<std::ptrdiff_t>(0, position_ - kReadAhead + 1) : position_;
    const std::ptrdiff_t end = std::min<std::ptrdiff_t>(start + kReadAhead, rowCount());
    // Rows that lie close together are read as one range of rowids: one
    // descent into the table, then its pages in order. Scattered ones are
    // read by their listed rowids.
    const auto key = [this](std::ptrdiff_t i) { return keys_[static_cast<std::size_t>(i)]; };
    const bool range = key(end - 1) - key(start) < 2 * (end - start);
    batchStart_ = start;
    batch_.assign(static_cast<std::size_t>(end - start), std::nullopt);
    batchWriteCount_ = store_->writeCount();

    Query query(store_->sql(), range ? shape_->rowsByRangeSql : shape_->rowsByListSql, Op::Read);
    if (range) {
        query.bind(1, vb::Variant(key(start))).bind(2, vb::Variant(key(end - 1)));
    } else {
        for (std::ptrdiff_t i = start; i < end; ++i)
            query.bind(static_cast<int>(i - start + 1), vb::Variant(key(i)));
    }
    // Both lists ascend by rowid; a key without a row keeps its gap, and a
    // row in the range that is not in the keyset is passed over.
    std::ptrdiff_t i = start;
    while (query.next()) {
        const std::int64_t rowid = query.int64(0);
        while (i < end && key(i) < rowid)
            ++i;
        if (i == end)
            break;
        if (key(i) != rowid)
            continue;
        Row row;
        row.reserve(static_cast<std::size_t>(fieldCount()));
        for (int f = 1; f <= fieldCount(); ++f)
            row.push_back(query.value(f));
        batch_[static_cast<std::size_t>(i - start)] = std::move(row);
    }
}

vb::Variant KeysetCursor::value(int field) {
    if (editing_ && changed_[static_cast<std::size_t>(field)])
        return edits_[static_cast<std::size_t>(field)];
    return currentRow()[static_cast<std::size_t>(field)];
}

void KeysetCursor::setValue(int field, const vb::Variant& value) {
    if (!editing_)
        throw errors::updateWithoutEdit();
    edits_[static_cast<std::size_t>(field)] = value;
    changed_[static_cast<std::size_t>(field)] = true;
}

void KeysetCursor::edit() {
    if (store_->readOnly())
        throw errors::readOnlyDatabase(store_->path());
    ensureCurrent();
    // While we write and nobody else has committed since the keys were read,
    // the row is there; otherwise reading it tells whether it has gone.
    if (!store_->writing() || keysEpoch_ != store_->epoch())
        currentRow();
    editing_ = true;
    edits_.assign(static_cast<std::size_t>(fieldCount()), vb::Variant());
    changed_.assign(static_cast<std::size_t>(fieldCount()), false);
}

void KeysetCursor::cancelUpdate() {
    if (!editing_)
        throw errors::updateWithoutEdit();
    editing_ = false;
}

void KeysetCursor::update(int updateType) {
    if (updateType != dbUpdateRegular)
        throw errors::invalidArgument();
    if (!editing_)
        throw errors::updateWithoutEdit();
    if (std::find(changed_.begin(), changed_.end(), true) != changed_.end())
        store_->updateRow(*shape_, keys_[static_cast<std::size_t>(position_)], changed_, edits_, keysEpoch_);
    editing_ = false; // the next read fetches the row back, as stored
}

} // namespace dao::detail
