#include "platform/dao/sqlcipher/KeysetCursor.h"

#include "platform/dao/Dao.h"
#include "platform/dao/Errors.h"
#include "platform/dao/sqlcipher/MemoryBudget.h"
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
    while (keys.next()) {
        if (keys_.size() == kMostKeys)
            throw errors::rowsTooLarge(store_->path(), static_cast<qint64>(kMostKeys * 16));
        keys_.push_back(keys.int64(0));
    }
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
    const std::ptrdiff_t wanted =
        rowBytes_ == 0 ? kReadAhead
                       : std::clamp<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(kReadAheadBytes / rowBytes_), 1,
                                                    kReadAhead);
    const std::ptrdiff_t start = backwards ? std::max<std::ptrdiff_t>(0, position_ - wanted + 1) : position_;
    const std::ptrdiff_t end = std::min<std::ptrdiff_t>(start + wanted, rowCount());
    // Rows that lie close together are read as one range of rowids: one
    // descent into the table, then its pages in order. Scattered ones are
    // read by their listed rowids.
    const auto key = [this](std::ptrdiff_t i) { return keys_[static_cast<std::size_t>(i)]; };
    const bool range = key(end - 1) - key(start) < 2 * (end - start);
    const std::uint64_t writeCount = store_->writeCount();

    Query query(store_->sql(), range ? shape_->rowsByRangeSql : shape_->rowsByListSql, Op::Read);
    if (range) {
        query.bind(1, vb::Variant(key(start))).bind(2, vb::Variant(key(end - 1)));
    } else {
        for (std::ptrdiff_t i = start; i < end; ++i)
            query.bind(static_cast<int>(i - start + 1), vb::Variant(key(i)));
    }
    // Made apart and kept only once complete: a failed read leaves no row
    // that looks deleted.
    std::vector<std::optional<Row>> batch(static_cast<std::size_t>(end - start));
    // The batch holds at most kReadAheadBytes beyond the row the cursor
    // stands on: going forwards it ends at the row that reaches them; going
    // backwards the rows furthest behind make room until that row is read.
    std::vector<std::size_t> sizes(batch.size(), 0);
    std::size_t held = 0, readBytes = 0, readRows = 0;
    std::ptrdiff_t first = start; // the batch's first row still held
    std::ptrdiff_t last = end;    // one past its last
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
        const auto at = static_cast<std::size_t>(i - start);
        batch[at] = readRow(query, 1, fieldCount(), sizes[at], kSnapshotBytes, store_->path());
        held += sizes[at];
        readBytes += sizes[at];
        ++readRows;
        if (held < kReadAheadBytes)
            continue;
        if (i >= position_) {
            last = i + 1;
            break;
        }
        for (; held >= kReadAheadBytes && first < i; ++first) {
            held -= sizes[static_cast<std::size_t>(first - start)];
            batch[static_cast<std::size_t>(first - start)].reset();
        }
    }
    batch.erase(batch.begin() + (last - start), batch.end());
    batch.erase(batch.begin(), batch.begin() + (first - start));
    batch_ = std::move(batch);
    batchStart_ = first;
    batchWriteCount_ = writeCount;
    if (readRows != 0)
        rowBytes_ = readBytes / readRows;
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
