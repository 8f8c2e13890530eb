#include "platform/dao/JetStore.h"

#include "platform/dao/ConnectText.h"
#include "platform/dao/Errors.h"
#include "platform/dao/JetSourceCursor.h"
#include "platform/dao/JetTargetStore.h"
#include "platform/dao/SelectParser.h"
#include "platform/dao/jet/JetFile.h"

#include <QCoreApplication>

namespace dao {

JetStore::JetStore(ProbedFile probed, QString connect, std::unique_ptr<jet::JetFile> file, InterruptCheckPtr interrupt)
    : probed_(std::move(probed)), connect_(std::move(connect)), path_(probed_.path), file_(std::move(file)),
      interrupt_(std::move(interrupt)) {}

JetStore::~JetStore() = default;

std::shared_ptr<JetStore> JetStore::open(const ProbedFile& file, const QString& connect, InterruptCheckPtr interrupt) {
    std::unique_ptr<jet::JetFile> jet = jet::JetFile::open(file.path, passwordFromConnect(connect).value_or(QString()));
    return std::shared_ptr<JetStore>(new JetStore(file, connect, std::move(jet), std::move(interrupt)));
}

void JetStore::call(FunctionRef f) {
    if (!file_)
        throw errors::objectInvalid();
    if (target_)
        target_->call(f);
    else
        f();
}

std::unique_ptr<Cursor> JetStore::openRecordset(const QString& sql) {
    if (target_)
        return target_->openRecordset(sql);
    const std::optional<detail::SimpleSelect> select = detail::parseSimpleSelect(sql);
    if (select && select->where) {
        target_ = JetTargetStore::open(probed_, connect_, interrupt_);
        return target_->openRecordset(sql);
    }
    if (!select)
        throw errors::jetQueryNotSupported(path_);
    // Whoever runs the store's calls asks the same check, on whatever thread that is.
    std::unique_ptr<jet::TableRows> rows =
        file_->rows(select->table, select->columns, [check = interrupt_] { return check && *check && (*check)(); });
    return std::make_unique<JetSourceCursor>(
        std::move(rows),
        QCoreApplication::translate("dao", "'%1' is an Access database, which this program only reads.").arg(path_));
}

void JetStore::close() {
    if (!file_)
        throw errors::objectInvalid();
    if (target_)
        target_->close(); // a failure keeps the store open, as a failing close does
    file_.reset();
}

void JetStore::release() noexcept {
    if (target_)
        target_->release();
}

} // namespace dao
