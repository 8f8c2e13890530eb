#include "platform/dao/Cursor.h"

#include "platform/dao/Dao.h"
#include "platform/dao/Errors.h"
#include "platform/dao/Names.h"

#include <algorithm>
#include <limits>

namespace dao {

void Cursor::ensureOpen() const {
    if (closed_)
        throw errors::objectInvalid();
}

void Cursor::close() {
    closed_ = true;
    moved();
    dropRows();
}

std::int32_t Cursor::recordCount() const {
    return static_cast<std::int32_t>(std::min<std::ptrdiff_t>(rowCount(), std::numeric_limits<std::int32_t>::max()));
}

void Cursor::ensureCurrent() const {
    if (eof() || bof())
        throw errors::noCurrentRecord();
}

void Cursor::moveTo(std::ptrdiff_t position) {
    moved();
    position_ = position;
}

void Cursor::moveFirst() {
    if (rowCount() == 0)
        throw errors::noCurrentRecord();
    moveTo(0);
}

void Cursor::moveLast() {
    if (rowCount() == 0)
        throw errors::noCurrentRecord();
    moveTo(rowCount() - 1);
}

void Cursor::moveNext() {
    if (eof())
        throw errors::noCurrentRecord();
    moveTo(position_ + 1);
}

void Cursor::movePrevious() {
    if (bof())
        throw errors::noCurrentRecord();
    moveTo(position_ - 1);
}

void Cursor::seek(std::ptrdiff_t position) {
    if (position < 0 || position >= rowCount())
        throw errors::noCurrentRecord();
    moveTo(position);
}

int Cursor::fieldIndex(const QString& name) const {
    const std::vector<QString>& fields = fieldNames();
    // The names are mostly written as the schema spells them.
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == name)
            return static_cast<int>(i);
    }
    if (const std::optional<std::size_t> i = findName(fields, name))
        return static_cast<int>(*i);
    throw errors::itemNotFound(name);
}

SnapshotCursor::SnapshotCursor(std::vector<QString> fieldNames, std::vector<Row> rows, QString readOnlyReason)
    : ReadOnlyCursor(std::move(readOnlyReason)), names_(std::move(fieldNames)), rows_(std::move(rows)) {}

vb::Variant SnapshotCursor::value(int field) {
    ensureCurrent();
    return rows_[static_cast<std::size_t>(position_)][static_cast<std::size_t>(field)];
}

void ReadOnlyCursor::setValue(int, const vb::Variant&) {
    throw errors::updateWithoutEdit();
}

void ReadOnlyCursor::edit() {
    throw errors::readOnlyObject(readOnlyReason_);
}

void ReadOnlyCursor::update(int updateType) {
    if (updateType != dbUpdateRegular)
        throw errors::invalidArgument();
    throw errors::updateWithoutEdit();
}

void ReadOnlyCursor::cancelUpdate() {
    throw errors::updateWithoutEdit();
}

} // namespace dao
