#include "platform/dao/JetSourceCursor.h"

#include "platform/dao/Dao.h"
#include "platform/dao/Errors.h"
#include "platform/dao/jet/JetFile.h"

#include <algorithm>
#include <limits>

namespace dao {

JetSourceCursor::JetSourceCursor(std::unique_ptr<jet::TableRows> rows, QString readOnlyReason)
    : ReadOnlyCursor(std::move(readOnlyReason)), rows_(std::move(rows)), names_(rows_->names()),
      count_(static_cast<std::ptrdiff_t>(
          std::min<std::uint64_t>(rows_->count(), std::numeric_limits<std::ptrdiff_t>::max()))) {}

JetSourceCursor::~JetSourceCursor() = default;

vb::Variant JetSourceCursor::value(int field) {
    ensureCurrent();
    return rows_->row(static_cast<std::uint64_t>(position_))[static_cast<std::size_t>(field)];
}

void JetSourceCursor::dropRows() {
    rows_->release();
    count_ = 0;
}

} // namespace dao
