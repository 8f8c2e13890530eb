#include "platform/dao/JetTargetStore.h"

#include "platform/dao/ConnectText.h"
#include "platform/dao/Dao.h"
#include "platform/dao/Errors.h"
#include "platform/dao/JetTargetCursor.h"
#include "platform/dao/JetTargetState.h"
#include "platform/dao/Names.h"
#include "platform/dao/SelectParser.h"
#include "platform/dao/jet/Bytes.h"
#include "platform/dao/jet/ColumnProperties.h"
#include "platform/dao/jet/DataPageLayout.h"
#include "platform/dao/jet/Header.h"
#include "platform/dao/jet/JetFile.h"
#include "platform/dao/jet/PageBatch.h"
#include "platform/dao/jet/PageFile.h"
#include "platform/dao/jet/Row.h"
#include "platform/dao/jet/RowWriter.h"
#include "platform/dao/jet/TargetDefinition.h"
#include "platform/dao/jet/TargetLock.h"
#include "platform/dao/jet/Text.h"
#include "platform/dao/jet/UsageMaps.h"
#include "platform/dao/jet/Values.h"
#include "platform/dao/jet/WorkingCopy.h"

#include <QFile>

#include <algorithm>
#include <exception>
#include <map>
#include <new>

namespace dao {

using namespace jet::detail;
using detail::guarded;
using detail::TargetTable;

namespace {

// The one column this store writes.
const QString kWritable = QStringLiteral("中学校区");
// Named in messages about a row.
const QString kKeyColumn = QStringLiteral("棟番号");
constexpr std::size_t kMostCompressed = 1024;
constexpr std::size_t kLeastCompressed = 3;

std::optional<double> numberOf(const vb::Variant& v) {
    const auto& s = v.storage();
    if (const auto* i = std::get_if<std::int64_t>(&s))
        return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&s))
        return *d;
    if (const auto* c = std::get_if<vb::Currency>(&s))
        return c->toDouble();
    if (const auto* n = std::get_if<vb::Decimal>(&s)) {
        bool ok = false;
        const double d = n->digits.toDouble(&ok);
        return ok ? std::optional(d) : std::nullopt;
    }
    if (const auto* t = std::get_if<QString>(&s)) {
        bool ok = false;
        const double d = t->trimmed().toDouble(&ok);
        return ok && !t->trimmed().isEmpty() ? std::optional(d) : std::nullopt;
    }
    return std::nullopt;
}

// Text as the column stores it: one byte a character after FF FE where the
// column allows compression and every character fits, UTF-16LE otherwise.
std::vector<std::uint8_t> encodeText(const QString& text, bool compressible) {
    const auto fitsByte = [](QChar c) { return c.unicode() >= 0x01 && c.unicode() <= 0xFF; };
    const auto length = static_cast<std::size_t>(text.size());
    std::vector<std::uint8_t> out;
    if (compressible && length >= kLeastCompressed && length <= kMostCompressed &&
        std::all_of(text.begin(), text.end(), fitsByte)) {
        out.reserve(length + 2);
        out.push_back(0xFF);
        out.push_back(0xFE);
        for (const QChar c : text)
            out.push_back(static_cast<std::uint8_t>(c.unicode()));
        return out;
    }
    out.reserve(2 * length);
    for (const QChar c : text) {
        out.push_back(static_cast<std::uint8_t>(c.unicode()));
        out.push_back(static_cast<std::uint8_t>(c.unicode() >> 8));
    }
    return out;
}

} // namespace

void JetTargetStore::State::checkInterrupt() const {
    if (interrupt && *interrupt && (*interrupt)())
        throw errors::userInterrupt();
}

TargetTable& JetTargetStore::State::table(const QString& name) {
    const QString lower = name.toLower();
    if (const auto found = tables.find(lower); found != tables.end())
        return *found->second;
    const std::optional<std::size_t> listed = findName(catalog, name, &CatalogEntry::name);
    if (!listed)
        throw errors::tableNotFound(name, path);
    settle(); // its definition is read from the pages
    const CatalogEntry& entry = catalog[*listed];
    auto state = std::make_unique<TargetTable>();
    state->name = entry.name;
    state->def = readTargetDefinition(
        [&](std::uint32_t number, std::vector<std::uint8_t>& buffer) {
            buffer = pages->read(number);
            return Bytes(buffer);
        },
        entry.page, text);
    const auto& columns = state->def.table.columns;
    state->writableIndex = findName(columns, kWritable, &Column::name);
    state->keyIndex = findName(columns, kKeyColumn, &Column::name);
    if (state->writableIndex)
        state->writable = columnProperties(entry.properties, columns[*state->writableIndex].name);
    state->writer = std::make_unique<RowWriter>(*pages, state->def);
    return *tables.emplace(lower, std::move(state)).first->second;
}

std::shared_ptr<const JetTargetStore::State::QueryShape> JetTargetStore::State::shape(
    const QString& sql, std::optional<detail::SimpleSelect::Literal>& literal) {
    for (auto it = shapes.begin(); it != shapes.end(); ++it) {
        if (!detail::matchesShape(sql, (*it)->text, (*it)->literalStart, literal))
            continue;
        std::rotate(shapes.begin(), it, it + 1);
        return shapes.front();
    }
    std::optional<detail::SimpleSelect> select = detail::parseSimpleSelect(sql);
    if (!select)
        return nullptr;
    TargetTable& t = table(select->table);
    const auto& columns = t.def.table.columns;
    const auto columnOf = [&](const QString& name) {
        if (const std::optional<std::size_t> i = findName(columns, name, &Column::name))
            return *i;
        throw errors::itemNotFound(name);
    };
    QueryShape made{{}, -1, &t, {}, {}, std::nullopt};
    if (select->columns.isEmpty()) {
        for (std::size_t i = 0; i < columns.size(); ++i)
            made.chosen.push_back(i);
    } else {
        for (const QString& name : select->columns)
            made.chosen.push_back(columnOf(name));
    }
    for (const std::size_t i : made.chosen)
        made.names.push_back(columns[i].name);
    if (select->where) {
        made.key = columnOf(select->where->column);
        made.literalStart = select->where->literalStart;
        made.text = sql.left(made.literalStart);
        literal = std::move(select->where->literal);
    } else {
        made.text = sql;
    }
    constexpr std::size_t kShapes = 16;
    if (shapes.size() == kShapes)
        shapes.pop_back();
    shapes.insert(shapes.begin(), std::make_shared<const QueryShape>(std::move(made)));
    return shapes.front();
}

void JetTargetStore::State::scan(const TargetTable& t,
                                 const std::function<void(RowLocation, const std::vector<std::uint8_t>&)>& take) {
    settle();
    PageBatch reading(*pages); // only read, never applied
    UsageMaps maps(reading);
    std::vector<std::uint8_t> bytes;
    for (const std::uint32_t number : maps.pages(t.def.ownedMap)) {
        checkInterrupt();
        if (number == 0 || number >= pages->count())
            damaged("a usage map names a page outside the file");
        const Page page = pages->read(number); // a copy: a moved row's read reads other pages
        if (page[0] != kDataPageType || ownerOf(page) != t.def.table.page)
            continue;
        const SlotSpans spans = slotSpans(page);
        for (std::size_t slot = 0; slot < spans.size(); ++slot) {
            if ((spans[slot].flags & kRowDeleted) != 0)
                continue;
            const auto at = static_cast<RowLocation>(number << 8 | slot);
            if ((spans[slot].flags & kRowOverflow) != 0) {
                const std::optional<std::vector<std::uint8_t>> moved = t.writer->read(at);
                if (!moved)
                    continue;
                bytes = *moved;
            } else {
                bytes.assign(page.begin() + static_cast<std::ptrdiff_t>(spans[slot].start),
                             page.begin() + static_cast<std::ptrdiff_t>(spans[slot].end));
            }
            take(at, bytes);
        }
    }
}

vb::Variant JetTargetStore::State::value(const TargetTable& t, RowLocation at, std::size_t column) {
    const std::optional<std::vector<std::uint8_t>> bytes = t.writer->read(at);
    if (!bytes)
        throw errors::recordDeleted();
    return valueIn(t, *bytes, column);
}

vb::Variant JetTargetStore::State::valueIn(const TargetTable& t, const std::vector<std::uint8_t>& bytes,
                                          std::size_t column) {
    const Column& c = t.def.table.columns[column];
    const Row row(kJet4, t.def.table, Bytes(bytes));
    if (c.type == kBoolean)
        return vb::TruthValue{row.bit(c) ? vb::vbTrue : vb::vbFalse};
    const std::optional<Bytes> value = row.value(c);
    if (!value)
        return {};
    if (c.fixed)
        return fixedValue(c.type, c.scale, *value);
    if (c.type == kText)
        return jet4Text(*value);
    if (c.type == kBinary)
        return QByteArray(reinterpret_cast<const char*>(value->data()), static_cast<qsizetype>(value->size()));
    throw errors::jetQueryNotSupported(path); // long values are not read here
}

QString JetTargetStore::State::keyText(const TargetTable& t, RowLocation at) {
    if (t.keyIndex) {
        try {
            return value(t, at, *t.keyIndex).toText();
        } catch (const vb::RuntimeError&) {
        }
    }
    return QStringLiteral("#%1:%2").arg(at >> 8).arg(at & 0xFF);
}

void JetTargetStore::State::write(TargetTable& t, RowLocation at, const vb::Variant& given) {
    if (closed)
        throw errors::objectInvalid();
    const Column& c = t.def.table.columns[*t.writableIndex];
    const TargetColumn& info = t.def.columns[*t.writableIndex];
    // A refusal names the row, read from the pages: settled first.
    std::optional<std::vector<std::uint8_t>> bytes;
    if (given.isNull()) {
        if (t.writable.required)
            throw errors::nullNotAllowed(c.name);
    } else {
        const QString value = given.toText();
        if (value.isEmpty() && !t.writable.allowZeroLength) {
            settle();
            throw errors::zeroLengthNotAllowed(c.name, keyText(t, at));
        }
        if (value.size() > info.length / 2) {
            settle();
            throw errors::fieldTooSmall(c.name, keyText(t, at), info.length / 2);
        }
        if (value.startsWith(QChar(0xFEFF))) {
            settle();
            throw errors::textNotStorable(c.name, keyText(t, at));
        }
        bytes = encodeText(value, info.compressed);
    }
    writes->post({&t, at, std::move(bytes)});
}

void JetTargetStore::State::apply(Update& u) {
    TargetTable& t = *u.table;
    const Column& c = t.def.table.columns[*t.writableIndex];
    guarded(path, [&] { t.writer->write(u.at, c, u.bytes, [&] { return keyText(t, u.at); }); });
    if (pages->full()) {
        try {
            pages->flush();
        } catch (...) {
            broken = true;
            throw;
        }
    }
}

JetTargetStore::JetTargetStore(std::unique_ptr<State> state) : state_(std::move(state)) {}

JetTargetStore::~JetTargetStore() {
    release();
}

std::shared_ptr<JetTargetStore> JetTargetStore::open(const ProbedFile& file, const QString& connect,
                                                     InterruptCheckPtr interrupt) {
    const QString& path = file.path;
    if (file.kind == FileKind::Ace)
        throw errors::accessFormatNotRead(path);
    if (file.kind != FileKind::Jet)
        throw errors::unrecognizedFormat(path);
    auto state = std::make_unique<State>();
    state->path = path;
    state->interrupt = std::move(interrupt);

    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly))
        throw errors::cannotOpenFile(path);
    const QByteArray first = raw.read(kJet4.pageSize);
    const qint64 size = raw.size();
    raw.close();
    state->header = guarded(path, [&] {
        return readHeader(Bytes(std::span(reinterpret_cast<const std::uint8_t*>(first.constData()),
                                          static_cast<std::size_t>(first.size()))));
    });
    if (state->header.format.jet3)
        throw errors::accessTargetTooOld(path);
    const std::uint32_t count = guarded(path, [&] { return pageCount(size, state->header.format); });

    state->lock = std::make_unique<TargetLock>(path);
    // The reader checks the password and lists the tables and their
    // properties; it reads the original, which holds the same catalogue.
    {
        const std::unique_ptr<jet::JetFile> reader =
            jet::JetFile::open(path, passwordFromConnect(connect).value_or(QString()));
        const jet::Table catalog = reader->read(QStringLiteral("MSysObjects"),
                                                {QStringLiteral("Id"), QStringLiteral("Name"), QStringLiteral("Type"),
                                                 QStringLiteral("LvProp")},
                                                {});
        for (const auto& row : catalog.rows) {
            if (const std::optional<std::uint32_t> page = jet::tableDefinitionPage(row[2], row[0])) {
                const auto* props = std::get_if<QByteArray>(&row[3].storage());
                state->catalog.push_back({row[1].toText(), *page, props ? *props : QByteArray()});
            }
        }
    }
    state->copy = std::make_unique<WorkingCopy>(path, state->lock->fd());
    state->pages = std::make_unique<PageFile>(state->copy->open(), path, state->header, count);
    State& s = *state;
    state->writes = std::make_unique<WriteBehind<State::Update>>([&s](State::Update& u) { s.apply(u); });
    return std::shared_ptr<JetTargetStore>(new JetTargetStore(std::move(state)));
}

void JetTargetStore::call(FunctionRef f) {
    if (state_->closed)
        throw errors::objectInvalid();
    f();
}

std::unique_ptr<Cursor> JetTargetStore::openRecordset(const QString& sql) {
    State& s = *state_;
    if (s.closed)
        throw errors::objectInvalid();
    return guarded(s.path, [&]() -> std::unique_ptr<Cursor> {
        std::optional<detail::SimpleSelect::Literal> literal;
        std::shared_ptr<const State::QueryShape> shape = s.shape(sql, literal);
        if (!shape)
            throw errors::jetQueryNotSupported(s.path);
        TargetTable& t = *shape->table;
        std::vector<RowLocation> rows;
        if (!shape->key) {
            s.scan(t, [&](RowLocation at, const std::vector<std::uint8_t>&) { rows.push_back(at); });
        } else {
            const std::size_t key = *shape->key;
            const std::optional<double> wanted = numberOf(detail::literalValue(*literal));
            auto lookup = t.lookups.find(key);
            if (lookup == t.lookups.end()) {
                std::vector<detail::NumberIndex::Entry> entries;
                s.scan(t, [&](RowLocation at, const std::vector<std::uint8_t>& bytes) {
                    if (const std::optional<double> k = numberOf(s.valueIn(t, bytes, key)); k && *k == *k)
                        entries.push_back({*k, at});
                });
                lookup = t.lookups.emplace(key, detail::NumberIndex(std::move(entries))).first;
                ++s.stats.lookupsBuilt;
            } else {
                ++s.stats.lookupAnswers;
            }
            if (wanted) {
                for (const detail::NumberIndex::Entry& e : lookup->second.find(*wanted))
                    rows.push_back(static_cast<RowLocation>(e.row));
            }
        }
        return std::make_unique<detail::JetTargetCursor>(shared_from_this(), s, std::move(shape), std::move(rows));
    });
}

void JetTargetStore::commit() {
    State& s = *state_;
    if (s.closed)
        return;
    s.closed = true;
    const std::unique_ptr<WorkingCopy> copy = std::move(s.copy);
    const std::unique_ptr<TargetLock> lock = std::move(s.lock);
    // An update that failed behind the caller and was not raised yet: the
    // ones before it are kept all the same, then it is raised.
    std::exception_ptr failed;
    try {
        s.settle();
    } catch (...) {
        failed = std::current_exception();
    }
    if (s.broken) {
        if (failed)
            std::rethrow_exception(failed);
        throw errors::diskError(s.path);
    }
    if (s.pages->changed()) {
        s.pages->flush();
        s.pages.reset();
        copy->replaceOriginal();
    } // otherwise the copy goes; the original was never touched
    if (failed)
        std::rethrow_exception(failed);
}

void JetTargetStore::close() {
    if (state_->closed)
        throw errors::objectInvalid();
    commit();
}

void JetTargetStore::release() noexcept {
    try {
        commit();
    } catch (...) {
        // Quietly, as asked: the original stays as it was.
    }
}

const QString& JetTargetStore::path() const {
    return state_->path;
}

Statistics JetTargetStore::statistics() const {
    return state_->stats;
}

} // namespace dao
