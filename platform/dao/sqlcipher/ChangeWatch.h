#pragma once
// Notices commits that other connections made to the same file since the
// last look (PRAGMA data_version), and whether they changed the schema.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include "platform/dao/sqlcipher/Sql.h"

#include <cstdint>

namespace dao::detail {

class ChangeWatch {
public:
    struct Changes {
        bool data = false;   // rows may have changed
        bool schema = false; // tables, indexes or triggers may have changed
    };
    Changes look(Sql& sql);
    // Moves whenever another connection's commit has been noticed. Rows
    // read while it stood still still exist: this engine deletes none.
    std::uint64_t epoch() const { return epoch_; }

private:
    std::int64_t seenData_ = -1;
    std::int64_t seenSchema_ = -1;
    std::uint64_t epoch_ = 0;
};

} // namespace dao::detail
