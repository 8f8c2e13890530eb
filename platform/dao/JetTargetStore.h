#pragma once
// An Access 2000-2003 (Jet 4) file opened as the target of a revision: rows
// of one table read in stored order or by a numeric key, and one column,
// 中学校区 (variable-length Text), rewritten in the file. Access 97 and 2007
// files, a file Access has open (.ldb) and one another copy of this program
// revises are refused before anything is written. The work goes to a copy
// beside the file (jet/WorkingCopy.h says why), which replaces the file on
// close() or release(), also after a failed run, so every accepted update is
// kept and the file is never half written.
#include "platform/dao/FileProbe.h"
#include "platform/dao/Interrupt.h"
#include "platform/dao/Store.h"

#include <memory>

namespace dao {

class JetTargetStore final : public Store, public std::enable_shared_from_this<JetTargetStore> {
public:
    // Raises 3343 for a file of no Jet kind, the 2007 format's error for one
    // of it, 3027 for Access 97, 3031 for a wrong password, 3045 for a file
    // in use (Access's .ldb, or another copy of this program), 3049 for a
    // damaged one.
    static std::shared_ptr<JetTargetStore> open(const ProbedFile& file, const QString& connect,
                                                InterruptCheckPtr interrupt);
    ~JetTargetStore() override;

    void call(FunctionRef f) override;
    // "SELECT <columns> FROM <table> [WHERE <column> = <number>]": an
    // editable recordset over the rows in stored order (those whose column
    // equals the number, compared as numbers whatever the column's type).
    std::unique_ptr<Cursor> openRecordset(const QString& sql) override;
    void close() override;
    void release() noexcept override;
    const QString& path() const override;
    Statistics statistics() const override;

    struct State;

private:
    explicit JetTargetStore(std::unique_ptr<State> state);
    void commit();

    std::unique_ptr<State> state_;
};

} // namespace dao
