#pragma once
// The recordset of a query on a Jet 4 target: the rows' own slots, found at
// open; every value read from the working copy when asked for, so a row
// reads back as stored after an update. Only 中学校区 may be set, and not at
// all when it is indexed (refused at Edit, before anything is written).
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/Cursor.h"
#include "platform/dao/JetTargetState.h"

#include <memory>
#include <optional>
#include <vector>

namespace dao::detail {

class JetTargetCursor final : public Cursor {
public:
    // `shape`: the query's table and columns, shared by the recordsets of its shape.
    JetTargetCursor(std::shared_ptr<JetTargetStore> store, JetTargetStore::State& state,
                    std::shared_ptr<const JetTargetStore::State::QueryShape> shape,
                    std::vector<jet::detail::RowLocation> rows);

    vb::Variant value(int field) override;
    void setValue(int field, const vb::Variant& value) override;
    void edit() override;
    void update(int updateType) override;
    void cancelUpdate() override;

protected:
    std::ptrdiff_t rowCount() const override { return static_cast<std::ptrdiff_t>(rows_.size()); }
    const std::vector<QString>& fieldNames() const override { return shape_->names; }
    void moved() override;
    void dropRows() override { rows_ = {}; }

private:
    std::shared_ptr<JetTargetStore> store_; // keeps the state alive
    JetTargetStore::State& state_;
    std::shared_ptr<const JetTargetStore::State::QueryShape> shape_;
    TargetTable& table_;
    std::vector<jet::detail::RowLocation> rows_;
    bool editing_ = false;
    std::optional<vb::Variant> pending_;
    std::optional<int> pendingField_;
};

} // namespace dao::detail
