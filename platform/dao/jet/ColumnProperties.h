#pragma once
// The two column properties the writer must respect, read from a table's
// property blob (MSysObjects.LvProp): "Required" and "AllowZeroLength".
// The blob: "MR2\0", then chunks (u32 length counting itself, u16 kind); kind
// 0x80 lists the property names, any other kind holds one object's values
// (a name block, then entries of u16 length, flag, type, name index, u16 data
// size, data). Every offset is checked; a blob that contradicts itself counts
// as absent.
#ifndef TOU_DAO_INTERNAL
#error "engine internal: include platform/dao/Dao.h"
#endif
#include <QByteArray>
#include <QString>

namespace dao::jet::detail {

struct ColumnProperties {
    // As Access treats a column without them: Null allowed, "" allowed.
    bool required = false;
    bool allowZeroLength = true;
};

ColumnProperties columnProperties(const QByteArray& blob, const QString& column);

} // namespace dao::jet::detail
