#pragma once
// An open Access (Jet 3 or Jet 4) file. As the source (a plain list of
// columns from one table) it is only read: every such recordset is a
// snapshot, and any attempt to edit it raises 3027. A keyed query ("... WHERE
// <column> = <number>") is what only a target is asked: from the first one
// on, the file is worked on as a target (JetTargetStore.h), which refuses
// what it cannot write before writing anything.
#include "platform/dao/FileProbe.h"
#include "platform/dao/Interrupt.h"
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
    void release() noexcept override;
    const QString& path() const override { return path_; }
    Statistics statistics() const override { return {}; }

private:
    JetStore(ProbedFile probed, QString connect, std::unique_ptr<jet::JetFile> file, InterruptCheckPtr interrupt);

    ProbedFile probed_;
    QString connect_;
    QString path_;
    std::unique_ptr<jet::JetFile> file_; // null once closed
    InterruptCheckPtr interrupt_;
    std::shared_ptr<Store> target_;      // from the first keyed query on

};

} // namespace dao
