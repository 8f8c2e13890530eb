#pragma once
// The rows and position of one recordset, whatever kind of file it reads:
// Cursor holds the moving rules (first, last, next, previous, EOF, BOF) and
// field lookup by name; a subclass supplies the rows and the editing.
// ReadOnlyCursor refuses edits; SnapshotCursor is the read-only kind that
// holds every row in memory.
#include "runtime/Variant.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace dao {

class Cursor {
public:
    virtual ~Cursor() = default;

    void ensureOpen() const; // 3420 once closed
    void close();

    bool eof() const { return rowCount() == 0 || position_ >= rowCount(); }
    bool bof() const { return rowCount() == 0 || position_ < 0; }
    std::int32_t recordCount() const;
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    // Straight to a row by its place (0 first); raises 3021 outside the rows.
    void seek(std::ptrdiff_t position);
    // Every row of the recordset, known or not yet reached (RecordCount is capped).
    std::ptrdiff_t rows() const { return rowCount(); }

    int fieldCount() const { return static_cast<int>(fieldNames().size()); }
    int fieldIndex(const QString& name) const; // 3265 when absent
    const QString& fieldName(int index) const { return fieldNames()[static_cast<std::size_t>(index)]; }

    // The current row's value (or, while editing, the edit buffer's).
    virtual vb::Variant value(int field) = 0;
    virtual void setValue(int field, const vb::Variant& value) = 0; // 3020 unless editing
    virtual void edit() = 0;
    virtual void update(int updateType) = 0;
    virtual void cancelUpdate() = 0;

protected:
    virtual std::ptrdiff_t rowCount() const = 0;
    virtual const std::vector<QString>& fieldNames() const = 0;
    // The cursor has moved (an edit in progress is abandoned) or closed.
    virtual void moved() {}
    virtual void dropRows() = 0;
    // Raises 3021 unless on a row.
    void ensureCurrent() const;

    std::ptrdiff_t position_ = 0;

private:
    void moveTo(std::ptrdiff_t position);
    bool closed_ = false;
};

// A recordset that is never editable: an edit raises 3027 with the reason
// given, the other editing calls what they raise without an edit.
class ReadOnlyCursor : public Cursor {
public:
    explicit ReadOnlyCursor(QString readOnlyReason) : readOnlyReason_(std::move(readOnlyReason)) {}

    void setValue(int field, const vb::Variant& value) override;
    void edit() override;
    void update(int updateType) override;
    void cancelUpdate() override;

private:
    QString readOnlyReason_;
};

// Every row read at open.
class SnapshotCursor : public ReadOnlyCursor {
public:
    using Row = std::vector<vb::Variant>;
    SnapshotCursor(std::vector<QString> fieldNames, std::vector<Row> rows, QString readOnlyReason);

    vb::Variant value(int field) override;

protected:
    std::ptrdiff_t rowCount() const override { return static_cast<std::ptrdiff_t>(rows_.size()); }
    const std::vector<QString>& fieldNames() const override { return names_; }
    void dropRows() override { rows_ = {}; }

private:
    std::vector<QString> names_;
    std::vector<Row> rows_;
};

} // namespace dao
