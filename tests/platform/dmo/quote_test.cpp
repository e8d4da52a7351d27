#include "dmo/dmo.h"
#include "dmo/quote.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace dmo;

TEST(Quote, Texts)
{
    struct Case {
        std::string in, ident, literal;
    } cases[] = {
        {"plain", "\"plain\"", "'plain'"},
        {"", "\"\"", "''"},
        {"Mixed Case", "\"Mixed Case\"", "'Mixed Case'"},
        {"a\"b", "\"a\"\"b\"", "'a\"b'"},
        {"O'Brien", "\"O'Brien\"", "'O''Brien'"},
        {"c:\\dir", "\"c:\\dir\"", "E'c:\\\\dir'"},
        {"x'\\", "\"x'\\\"", "E'x''\\\\'"},
        {"Диаграмма", "\"Диаграмма\"", "'Диаграмма'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteIdent(c.in), c.ident) << c.in;
        EXPECT_EQ(QuoteLiteral(c.in), c.literal) << c.in;
    }
    EXPECT_EQ(QuoteQualified("public", "t\"1"), "\"public\".\"t\"\"1\"");
    EXPECT_EQ(QuoteQualified("", "t"), "\"t\"");
    EXPECT_THROW(QuoteIdent(std::string("a\0b", 3)), std::invalid_argument);
    EXPECT_THROW(QuoteLiteral(std::string("a\0b", 3)), std::invalid_argument);
}

// The server reads back exactly what was quoted, both with and without
// standard-conforming strings.
TEST(Quote, ServerReadsBackWhatWasQuoted)
{
    kelm::test::PgDatabase db("dmo_quote");
    auto server = SQLServer::Create();
    server->SetLoginSecure(true);
    server->Connect(kelm::test::PgHost() + "\\" + kelm::test::PgPort(), "", "");
    auto database = server->GetDatabases()->Item(db.name());
    const std::string hostile[] = {"a\"b", "O'Brien", "back\\slash'", "Имя; DROP TABLE x; --", "tab\there"};
    for (const char* conforming : {"on", "off"}) {
        database->ExecuteImmediate(std::string("SET standard_conforming_strings = ") + conforming);
        for (const auto& name : hostile) {
            database->ExecuteImmediate("CREATE TABLE " + QuoteIdent(name) + " (v text)");
            database->ExecuteImmediate("INSERT INTO " + QuoteQualified("public", name) + " VALUES (" + QuoteLiteral(name) + ")");
            auto r = database->ExecuteWithResults("SELECT v, " + QuoteLiteral(name) + " = v FROM " + QuoteIdent(name));
            ASSERT_EQ(r->Rows(), 1) << name;
            EXPECT_EQ(r->GetColumnString(1, 1), name) << conforming;
            EXPECT_EQ(r->GetColumnString(1, 2), "t") << conforming;
            database->ExecuteImmediate("DROP TABLE " + QuoteIdent(name));
        }
    }
}
