// Rows of (integer, text, timestamp) fetched in rowsets of 1000: once through
// CRecordset's bulk exchange, once with SQLFetchScroll over columns bound by
// hand. Both read the same table in the same run.
#include "afx/dbcore.h"

#include "bench/benchstats.h"

#include "tests/common/testsupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

using namespace kelm::test;

namespace {

constexpr DWORD kRowset = 1000;
constexpr int kTextSize = 32;

// One database per engine and row count, made once for the whole run.
struct Source {
    std::unique_ptr<PgDatabase> pg;
    std::unique_ptr<TempDir> dir;
    std::string connect;
};

std::string Table(long rows)
{
    return "b" + std::to_string(rows);
}

Source& SourceFor(const std::string& engine, long rows)
{
    static std::map<std::string, std::unique_ptr<Source>> sources;
    std::unique_ptr<Source>& slot = sources[engine + std::to_string(rows)];
    if (slot)
        return *slot;
    slot = std::make_unique<Source>();
    std::string n = std::to_string(rows);
    CDatabase db;
    if (engine == "pg") {
        slot->pg = std::make_unique<PgDatabase>("bench");
        slot->connect = slot->pg->odbcConnString();
        slot->pg->exec("CREATE TABLE " + Table(rows) + " (i INTEGER, t VARCHAR(30), ts TIMESTAMP)");
        slot->pg->exec("INSERT INTO " + Table(rows) + " SELECT g, 'text number ' || g, "
                       "TIMESTAMP '2020-01-01' + g * INTERVAL '1 second' FROM generate_series(1, " + n + ") g");
        // Settled before the first reading: otherwise whichever benchmark
        // runs first marks every fresh row as visible and shares the machine
        // with the autovacuum that the insert set off.
        slot->pg->exec("VACUUM ANALYZE " + Table(rows));
    } else {
        slot->dir = std::make_unique<TempDir>();
        slot->connect = SqliteConnString(*slot->dir / "bench.db");
        db.OpenEx(slot->connect.c_str());
        db.ExecuteSQL(("CREATE TABLE " + Table(rows) + " (i INTEGER, t VARCHAR(30), ts TIMESTAMP)").c_str());
        db.ExecuteSQL(("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + n +
                       ") INSERT INTO " + Table(rows) + " SELECT x, 'text number ' || x, "
                       "datetime('2020-01-01', '+' || x || ' seconds') FROM c")
                          .c_str());
        db.Close();
    }
    return *slot;
}

class BulkSet : public CRecordset {
public:
    explicit BulkSet(CDatabase* db) : CRecordset(db) { m_nFields = 3; }
    ~BulkSet() override { Close(); }
    void DoBulkFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long_Bulk(pFX, "i", &i, &iLen);
        RFX_Text_Bulk(pFX, "t", &t, &tLen, kTextSize);
        RFX_Date_Bulk(pFX, "ts", &ts, &tsLen);
    }
    LONG* i = nullptr;
    SQLLEN* iLen = nullptr;
    char* t = nullptr;
    SQLLEN* tLen = nullptr;
    TIMESTAMP_STRUCT* ts = nullptr;
    SQLLEN* tsLen = nullptr;
};

void Engine(benchmark::State& state, std::string engine)
{
    long rows = state.range(0);
    Source& source = SourceFor(engine, rows);
    CDatabase db;
    db.OpenEx(source.connect.c_str());
    std::string sql = "SELECT i, t, ts FROM " + Table(rows);
    for (auto _ : state) {
        BulkSet rs(&db);
        rs.SetRowsetSize(kRowset);
        rs.Open(CRecordset::forwardOnly, sql.c_str(), CRecordset::readOnly | CRecordset::useMultiRowFetch);
        long fetched = 0, sum = 0;
        for (; !rs.IsEOF(); rs.MoveNext()) {
            DWORD n = rs.GetRowsFetched();
            fetched += n;
            for (DWORD r = 0; r < n; ++r)
                sum += rs.i[r] + rs.ts[r].second + rs.t[r * kTextSize];
        }
        if (fetched != rows)
            state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * rows);
}

void Check(SQLRETURN rc, const char* what)
{
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
        throw std::runtime_error(what);
}

void Raw(benchmark::State& state, std::string engine)
{
    long rows = state.range(0);
    Source& source = SourceFor(engine, rows);
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    Check(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), "env");
    Check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0), "version");
    Check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), "dbc");
    Check(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(source.connect.data()), SQL_NTS, nullptr, 0,
                           nullptr, SQL_DRIVER_NOPROMPT),
          "connect");
    std::string sql = "SELECT i, t, ts FROM " + Table(rows);
    std::vector<SQLINTEGER> i(kRowset);
    std::vector<char> t(kRowset * kTextSize);
    std::vector<TIMESTAMP_STRUCT> ts(kRowset);
    std::vector<SQLLEN> iLen(kRowset), tLen(kRowset), tsLen(kRowset);
    SQLULEN got = 0;
    for (auto _ : state) {
        SQLHSTMT stmt = SQL_NULL_HSTMT;
        Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), "stmt");
        SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0);
        SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(kRowset)), 0);
        SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &got, 0);
        Check(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS), "execute");
        SQLBindCol(stmt, 1, SQL_C_SLONG, i.data(), sizeof(SQLINTEGER), iLen.data());
        SQLBindCol(stmt, 2, SQL_C_CHAR, t.data(), kTextSize, tLen.data());
        SQLBindCol(stmt, 3, SQL_C_TIMESTAMP, ts.data(), sizeof(TIMESTAMP_STRUCT), tsLen.data());
        long fetched = 0, sum = 0;
        SQLRETURN rc;
        while ((rc = SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0)) != SQL_NO_DATA) {
            Check(rc, "fetch");
            fetched += static_cast<long>(got);
            for (SQLULEN r = 0; r < got; ++r)
                sum += i[r] + ts[r].second + t[r * kTextSize];
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        if (fetched != rows)
            state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * rows);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
}

void Register()
{
    // BENCH_ODBC_ROWS replaces the sizes for a quicker run; 1,000,000 is the reference.
    std::vector<long> sizes{10000, 1000000};
    if (const char* rows = std::getenv("BENCH_ODBC_ROWS"))
        sizes = {std::atol(rows)};
    for (const std::string engine : {"sqlite", "pg"}) {
        if (engine == "pg" && !PgAvailable())
            continue;
        for (auto [name, fn] : {std::pair<const char*, void (*)(benchmark::State&, std::string)>{"engine", Engine},
                                {"raw", Raw}}) {
            auto* b = benchmark::RegisterBenchmark((std::string(name) + "/" + engine).c_str(), fn, engine);
            for (long n : sizes)
                b->Arg(n);
            b->Unit(benchmark::kMillisecond)->MinTime(1.0)->Apply(kelm::bench::WithSpread<7>);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    Register();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
