#include "platform/dao/JetTargetCursor.h"

#include "platform/dao/Dao.h"
#include "platform/dao/Errors.h"

namespace dao::detail {

JetTargetCursor::JetTargetCursor(std::shared_ptr<JetTargetStore> store, JetTargetStore::State& state,
                                 std::shared_ptr<const JetTargetStore::State::QueryShape> shape,
                                 std::vector<jet::detail::RowLocation> rows)
    : store_(std::move(store)), state_(state), shape_(std::move(shape)), table_(*shape_->table),
      rows_(std::move(rows)) {}

vb::Variant JetTargetCursor::value(int field) {
    if (editing_ && pending_ && *pendingField_ == field)
        return *pending_;
    ensureCurrent();
    if (state_.closed)
        throw errors::objectInvalid();
    state_.settle(); // the row as the updates before left it
    return guarded(state_.path, [&] {
        return state_.value(table_, rows_[static_cast<std::size_t>(position_)],
                            shape_->chosen[static_cast<std::size_t>(field)]);
    });
}

void JetTargetCursor::setValue(int field, const vb::Variant& value) {
    if (!editing_)
        throw errors::updateWithoutEdit();
    const std::size_t column = shape_->chosen[static_cast<std::size_t>(field)];
    if (!table_.writableIndex || column != *table_.writableIndex)
        throw errors::fieldNotUpdatable(shape_->names[static_cast<std::size_t>(field)]);
    pending_ = value;
    pendingField_ = field;
}

void JetTargetCursor::edit() {
    if (state_.closed)
        throw errors::objectInvalid();
    ensureCurrent();
    // Refused before a byte is written: an index on the column would need
    // entries in Access's Japanese sort order.
    if (table_.writableIndex) {
        const jet::detail::Column& writable = table_.def.table.columns[*table_.writableIndex];
        if (table_.def.indexed(writable.number))
            throw errors::indexedFieldNotWritable(writable.name, table_.name);
    }
    editing_ = true;
    pending_.reset();
    pendingField_.reset();
}

void JetTargetCursor::update(int updateType) {
    if (updateType != dbUpdateRegular)
        throw errors::invalidArgument();
    if (!editing_)
        throw errors::updateWithoutEdit();
    editing_ = false;
    if (pending_) {
        const vb::Variant value = std::move(*pending_);
        pending_.reset();
        state_.write(table_, rows_[static_cast<std::size_t>(position_)], value);
    }
}

void JetTargetCursor::cancelUpdate() {
    if (!editing_)
        throw errors::updateWithoutEdit();
    editing_ = false;
    pending_.reset();
}

void JetTargetCursor::moved() {
    editing_ = false;
    pending_.reset();
}

} // namespace dao::detail
