#pragma once
// The recordset of an Access source: a read-only snapshot, like
// SnapshotCursor, whose rows stay in the file until the position reaches
// them; only the current page's rows are held, so a table of any length
// costs about the same memory.
#include "platform/dao/Cursor.h"

#include <memory>

namespace dao {

namespace jet {
class TableRows;
}

class JetSourceCursor final : public ReadOnlyCursor {
public:
    // `readOnlyReason` says why an edit is refused (3027).
    JetSourceCursor(std::unique_ptr<jet::TableRows> rows, QString readOnlyReason);
    ~JetSourceCursor() override;

    vb::Variant value(int field) override;

protected:
    std::ptrdiff_t rowCount() const override { return count_; }
    const std::vector<QString>& fieldNames() const override { return names_; }
    void dropRows() override;

private:
    std::unique_ptr<jet::TableRows> rows_;
    std::vector<QString> names_;
    std::ptrdiff_t count_;
};

} // namespace dao
