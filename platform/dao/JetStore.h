#pragma once
// An open Access (Jet 3 or Jet 4) file: the older edition's database as its
// users hold it. Read-only: every recordset is a snapshot of a plain list of
// columns from one table, and any attempt to edit raises 3027.
#include "platform/dao/FileProbe.h"
#include "platform/dao/Store.h"

#include <memory>

namespace dao::jet {
class JetFile;
}

namespace dao {

class JetStore final : public Store {
public:
    static std::shared_ptr<JetStore> open(const ProbedFile& file, const QString& connect, InterruptCheckPtr interrupt);
    ~JetStore() override;

    void call(FunctionRef f) override;
    std::unique_ptr<Cursor> openRecordset(const QString& sql) override;
    void close() override;
    void release() noexcept override {}
    const QString& path() const override { return path_; }
    Statistics statistics() const override { return {}; }

private:
    JetStore(QString path, std::unique_ptr<jet::JetFile> file, InterruptCheckPtr interrupt);

    QString path_;
    std::unique_ptr<jet::JetFile> file_; // null once closed
    InterruptCheckPtr interrupt_;
};

} // namespace dao
