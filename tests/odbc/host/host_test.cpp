// A host program's use of the library, in the order hosts call it:
// InitQuillmark, the driver manager's trace, open, CheckModelVer,
// recordsets with the cursor trace, trace off, Close.
#include "odbc/data/core/databaseex.h"
#include "odbc/data/core/dynamicrecord.h"
#include "odbc/data/core/messages.h"
#include "odbc/data/core/recordsettrace.h"

#include "profile/quillmark.h"
#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace kelm::test;

namespace {

class Orders : public CRecordsetTrace {
public:
    explicit Orders(CDatabase* db) : CRecordsetTrace(db) { m_nFields = 2; }
    std::string GetDefaultSQL() override { return "SELECT id, item FROM orders"; }
    void DoFieldExchange(CFieldExchange* pFX) override
    {
        pFX->SetFieldType(CFieldExchange::outputColumn);
        RFX_Long(pFX, "id", m_id);
        RFX_Int(pFX, "item", m_item);
    }
    LONG m_id = 0;
    int m_item = 0;
};

class Host : public ::testing::TestWithParam<bool> {};

TEST_P(Host, RunsTheLibraryInTheHostsOrder)
{
    std::unique_ptr<PgDatabase> pg;
    TempDir dir;
    std::string connect;
    if (GetParam()) {
        KELM_REQUIRE_PG();
        pg = std::make_unique<PgDatabase>("host");
        connect = pg->odbcConnString();
    } else {
        connect = SqliteConnString(dir / "kelm.db");
    }
    std::vector<std::string> messages;
    SetOrvoMessageHandler([&](const std::string& text, long) {
        messages.push_back(text);
        return IDOK;
    });

    // 1. The setting store, once for the process as a host does it.
    static TempDir config;
    static const BOOL initialised = [] {
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        return InitQuillmark("Varnholt Inc/Orvo Server/Host/", "host.ini");
    }();
    ASSERT_EQ(initialised, 1);

    // 2. The driver manager's trace, its file kept in the settings.
    std::string traceFile = (dir / "odbc.log").string();
    CDatabaseEx::SetTraceFile(traceFile.c_str());
    EXPECT_EQ(GetPrivateProfileStringQM("ODBC", "TraceFile", ""), traceFile);
    CDatabaseEx::SetTraceFile(nullptr); // taken back from the settings
    std::string current;
    CDatabaseEx::GetTraceFile(current);
    EXPECT_EQ(current, traceFile);
    CDatabaseEx db;
    bool wasOn = db.SetTrace(true, true);

    // 3. Open.
    std::string error;
    ASSERT_TRUE(db.OpenDBExStr(connect.c_str(), false, error)) << error;
    db.ExecuteSQL("CREATE TABLE xRepositoryVer (ResVer INTEGER, ResSubVer INTEGER, ModelVer INTEGER, ModelSubVer INTEGER)");
    db.ExecuteSQL("INSERT INTO xRepositoryVer VALUES (2, 0, 7, 1)");
    db.ExecuteSQL("CREATE TABLE orders (id INTEGER PRIMARY KEY, item INTEGER)");
    db.ExecuteSQL("INSERT INTO orders VALUES (1, 10)");
    db.ExecuteSQL("INSERT INTO orders VALUES (2, 20)");

    // 4. The data-model check with the host's own version.
    EXPECT_TRUE(db.CheckModelVer("1.2.7.0"));
    EXPECT_TRUE(messages.empty());

    // 6. and 7. Recordsets with the cursor trace.
    std::string cursors = (dir / "cursors.log").string();
    ASSERT_TRUE(CRecordsetTrace::OpenTraceFile(cursors.c_str()));
    CRecordsetTrace::AddTracedHDBC(db.m_hdbc);
    {
        Orders orders(&db);
        orders.SetCursorsTrace("FKDSU");
        ASSERT_TRUE(orders.Open(CRecordset::forwardOnly, nullptr, CRecordset::readOnly));
        int sum = 0;
        for (; !orders.IsEOF(); orders.MoveNext())
            sum += orders.m_item;
        EXPECT_EQ(sum, 30);
        orders.Close();
    }
    {
        CDynamicRecord rs(&db);
        ASSERT_TRUE(rs.Open(CRecordset::snapshot, "SELECT item FROM orders ORDER BY id", CRecordset::readOnly));
        int item = 0;
        rs.GetFieldData(0, item);
        EXPECT_EQ(item, 10);
    }
    CRecordsetTrace::CloseTraceFile();
    std::string lines = readFile(cursors);
    EXPECT_NE(lines.find("; O; "), std::string::npos) << lines;
    EXPECT_NE(lines.find("; C; "), std::string::npos) << lines;

    // 7. Trace off, 8. Close.
    db.SetTrace(wasOn, true);
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    EXPECT_TRUE(std::filesystem::exists(traceFile));
    EXPECT_GT(std::filesystem::file_size(traceFile), 0u);
    SetOrvoMessageHandler(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Engines, Host, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PostgreSQL" : "SQLite"; });

} // namespace
