#include "platform/dao/sqlcipher/ChangeWatch.h"

namespace dao::detail {

ChangeWatch::Changes ChangeWatch::look(Sql& sql) {
    Changes changes;
    {
        Query version(sql, "PRAGMA data_version", Op::Read);
        version.next();
        const std::int64_t seen = version.int64(0);
        if (seen == seenData_)
            return changes;
        seenData_ = seen;
    }
    ++epoch_;
    changes.data = true;
    Query schema(sql, "PRAGMA schema_version", Op::Read);
    if (schema.next() && schema.int64(0) != seenSchema_) {
        changes.schema = seenSchema_ >= 0;
        seenSchema_ = schema.int64(0);
    }
    return changes;
}

} // namespace dao::detail
