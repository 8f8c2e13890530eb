#include "platform/dao/sqlcipher/Sqlite.h"

#include <QVarLengthArray>

#include <cstdint>
#include <cstring>

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

namespace {

enum Tag : char { kNull = 'n', kInteger = 'i', kReal = 'r', kText = 't', kBlob = 'b' };

template <class T>
T get(const char*& p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    p += sizeof value;
    return value;
}

template <class T>
void put(char*& p, T value) {
    std::memcpy(p, &value, sizeof value);
    p += sizeof value;
}

} // namespace

std::size_t encodedSize(const vb::Variant& value) {
    std::size_t most = 1 + sizeof(std::uint64_t);
    if (const auto* text = std::get_if<QString>(&value.storage()))
        most += 3 * static_cast<std::size_t>(text->size()); // UTF-8 takes at most 3 bytes a unit
    else if (const auto* decimal = std::get_if<vb::Decimal>(&value.storage()))
        most += 3 * static_cast<std::size_t>(decimal->digits.size());
    else if (const auto* bytes = std::get_if<QByteArray>(&value.storage()))
        most += static_cast<std::size_t>(bytes->size());
    return most;
}

char* encodeValue(const vb::Variant& value, char* p, QStringEncoder& utf8) {
    struct Encoder {
        char*& p;
        QStringEncoder& utf8;
        void operator()(vb::Null) const { *p++ = kNull; }
        void operator()(std::int64_t v) const {
            *p++ = kInteger;
            put(p, v);
        }
        void operator()(double v) const {
            *p++ = kReal;
            put(p, v);
        }
        void operator()(const QString& v) const {
            *p++ = kText;
            char* const length = p;
            p += sizeof(std::uint32_t);
            char* const end = utf8.appendToBuffer(p, v);
            char* at = length;
            put(at, static_cast<std::uint32_t>(end - p));
            p = end;
        }
        void operator()(const QByteArray& v) const {
            *p++ = kBlob;
            put(p, static_cast<std::uint32_t>(v.size()));
            std::memcpy(p, v.constData(), static_cast<std::size_t>(v.size()));
            p += v.size();
        }
        void operator()(vb::Currency v) const { (*this)(v.toDouble()); }
        void operator()(vb::TruthValue v) const { (*this)(std::int64_t{v.value}); }
        void operator()(vb::Date v) const { (*this)(v.days); }
        void operator()(const vb::Decimal& v) const { (*this)(v.digits); } // exact, as its digits
    };
    std::visit(Encoder{p, utf8}, value.storage());
    return p;
}

int bindEncoded(sqlite3_stmt* stmt, int i, const char*& p, sqlite3_destructor_type lifetime) {
    switch (*p++) {
    case kNull:
        return sqlite3_bind_null(stmt, i);
    case kInteger:
        return sqlite3_bind_int64(stmt, i, get<std::int64_t>(p));
    case kReal:
        return sqlite3_bind_double(stmt, i, get<double>(p));
    case kText: {
        const auto length = get<std::uint32_t>(p);
        const char* const text = p;
        p += length;
        return sqlite3_bind_text(stmt, i, text, static_cast<int>(length), lifetime);
    }
    default: {
        const auto length = get<std::uint32_t>(p);
        const char* const data = p;
        p += length;
        // A null data pointer would bind NULL; an empty blob is still a blob.
        return length == 0 ? sqlite3_bind_zeroblob(stmt, i, 0)
                           : sqlite3_bind_blob(stmt, i, data, static_cast<int>(length), lifetime);
    }
    }
}

int bindValue(sqlite3_stmt* stmt, int i, const vb::Variant& value) {
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    QVarLengthArray<char, 256> packed(static_cast<qsizetype>(encodedSize(value)));
    encodeValue(value, packed.data(), utf8);
    const char* p = packed.constData();
    return bindEncoded(stmt, i, p, SQLITE_TRANSIENT);
}

} // namespace dao::detail
