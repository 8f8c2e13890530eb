#include "revision/Revision.h"

#include "revision/BuildingNumber.h"
#include "runtime/RuntimeError.h"

namespace revision {

const QString kSourcePassword = QStringLiteral("k3pwnvhtq7");
const QString kTargetPassword = QStringLiteral("r8mfyelc4s");
const QString kTargetRelativePath = QStringLiteral(u"Q_db\\Q5ProDB.mdb");

namespace {

const QString kSourceQuery = QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ");
const QString kTargetQueryPrefix = QStringLiteral(u"SELECT 棟番号,小学校区,中学校区 FROM 棟マスタ WHERE 棟番号=");
const QString kKeyField = QStringLiteral(u"棟番号");
const QString kCopiedField = QStringLiteral(u"中学校区");

dao::DBEnginePtr& engineObject() {
    static dao::DBEnginePtr engine;
    return engine;
}

} // namespace

QString TargetUnder(const QString& programFolder) {
    return programFolder + (programFolder.endsWith(QLatin1Char('\\')) ? QString() : QStringLiteral("\\")) +
           kTargetRelativePath;
}

const dao::DBEnginePtr& Engine() {
    return engineObject();
}

void OpenDatabase(dao::DatabasePtr& db, const QString& path, const QString& password, Side side) {
    dao::DBEnginePtr& engine = engineObject();
    if (!engine) {
        engine = dao::DBEngine::create();
        engine->SetInterruptCheck([] { return Run::current() && Run::current()->progress().stopRequested(); });
    }
    const dao::WorkspacesPtr workspaces = engine->Workspaces();
    const dao::WorkspacePtr workspace = workspaces->Item(0);
    const QString connect = QStringLiteral(";pwd=") + password;
    db = side == Side::source ? workspace->OpenDatabaseApart(path, vb::vbFalse, vb::vbFalse, connect)
                              : workspace->OpenDatabase(path, vb::vbFalse, vb::vbFalse, connect);
}

void CloseAll(dao::DatabasePtr& dbwk, dao::RecordsetPtr& rswk, dao::DatabasePtr& dbwk1, dao::RecordsetPtr& rswk1,
              dao::DatabasePtr& dbwk2, dao::RecordsetPtr& rswk2, dao::DatabasePtr& dbwk3, dao::RecordsetPtr& rswk3) {
    for (dao::RecordsetPtr* rs : {&rswk, &rswk1, &rswk2, &rswk3}) {
        if (*rs) {
            (*rs)->Close();
            rs->reset();
        }
    }
    for (dao::DatabasePtr* db : {&dbwk, &dbwk1, &dbwk2, &dbwk3}) {
        if (*db) {
            (*db)->Close();
            db->reset();
        }
    }
}

Run::Run(Progress& progress) : progress_(progress) {
    current_ = this;
}

Run::~Run() {
    current_ = nullptr;
}

Outcome Run::reviseRows(const dao::DatabasePtr& sourceDb, const dao::DatabasePtr& targetDb, dao::RecordsetPtr& source,
                        dao::RecordsetPtr& target) {
    Outcome outcome;
    QString strSQL = kSourceQuery;
    source = sourceDb->OpenRecordset(strSQL);
    if (!vb::isTrue(source->Eof())) {
        source->MoveLast(0);
        progress_.total(source->RecordCount());
        source->MoveFirst();
    }
    int done = 0;
    while (!vb::isTrue(source->Eof())) {
        progress_.done(done++);
        if (progress_.stopRequested())
            vb::raise(vb::kUserInterrupt);
        const std::int32_t lngNo = BuildingNumber(source->Fields()->Item(kKeyField)->Value());
        ++outcome.read;
        strSQL = kTargetQueryPrefix + QString::number(lngNo);
        target = targetDb->OpenRecordset(strSQL);
        if (!vb::isTrue(target->Eof())) {
            target->Edit();
            const QString value = source->Fields()->Item(kCopiedField)->Value().toText();
            target->SetCollect(kCopiedField, vb::Variant(value));
            target->Update(dao::dbUpdateRegular, false);
            ++outcome.revised;
        } else {
            ++outcome.notFound;
        }
        source->MoveNext();
    }
    progress_.done(done);
    return outcome;
}

Outcome Revise(const QString& sourcePath, const QString& targetPath, Progress& progress) {
    // Declared databases first so that, on an error, the recordsets are released before them.
    dao::DatabasePtr sourceDb, targetDb, unused2, unused3;
    dao::RecordsetPtr source, target, unusedRs2, unusedRs3;
    Run run(progress);
    OpenDatabase(sourceDb, sourcePath, kSourcePassword, Side::source);
    OpenDatabase(targetDb, targetPath, kTargetPassword, Side::target);
    const Outcome outcome = run.reviseRows(sourceDb, targetDb, source, target);
    CloseAll(sourceDb, source, targetDb, target, unused2, unusedRs2, unused3, unusedRs3);
    return outcome;
}

} // namespace revision
