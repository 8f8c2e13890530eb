#include "platform/dao/sqlcipher/Sqlite.h"

namespace dao::detail {

vb::Variant columnValue(sqlite3_stmt* stmt, int i) {
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_INTEGER:
        return vb::Variant(static_cast<std::int64_t>(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
        return vb::Variant(sqlite3_column_double(stmt, i));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
        return vb::Variant(QString::fromUtf8(text, sqlite3_column_bytes(stmt, i)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, i));
        return vb::Variant(QByteArray(data, sqlite3_column_bytes(stmt, i)));
    }
    default:
        return vb::Variant();
    }
}

int bindValue(sqlite3_stmt* stmt, int i, const vb::Variant& value) {
    struct Binder {
        sqlite3_stmt* stmt;
        int i;
        int operator()(vb::Null) const { return sqlite3_bind_null(stmt, i); }
        int operator()(std::int64_t v) const { return sqlite3_bind_int64(stmt, i, v); }
        int operator()(double v) const { return sqlite3_bind_double(stmt, i, v); }
        int operator()(const QString& v) const {
            const QByteArray utf8 = v.toUtf8();
            return sqlite3_bind_text(stmt, i, utf8.constData(), static_cast<int>(utf8.size()),
                                     SQLITE_TRANSIENT);
        }
        int operator()(const QByteArray& v) const {
            // A null data pointer would bind NULL; an empty blob is still a blob.
            if (v.isEmpty())
                return sqlite3_bind_zeroblob(stmt, i, 0);
            return sqlite3_bind_blob(stmt, i, v.constData(), static_cast<int>(v.size()),
                                     SQLITE_TRANSIENT);
        }
        int operator()(vb::Currency v) const { return sqlite3_bind_double(stmt, i, v.toDouble()); }
        int operator()(vb::TruthValue v) const { return sqlite3_bind_int(stmt, i, v.value); }
        int operator()(vb::Date v) const { return sqlite3_bind_double(stmt, i, v.days); }
        int operator()(const vb::Decimal& v) const { return (*this)(v.digits); } // exact, as its digits
    };
    return std::visit(Binder{stmt, i}, value.storage());
}

} // namespace dao::detail
