// Connection strings as every ODBC layer reads, writes and masks them, and
// which engine a DBMS or driver name stands for.
#include "odbcbase/connectstring.h"
#include "odbcbase/engine.h"

#include <gtest/gtest.h>

namespace {

using odbcbase::ConnectPart;
using odbcbase::SplitConnectString;

std::string Describe(const std::vector<ConnectPart>& parts)
{
    std::string out;
    for (const ConnectPart& part : parts) {
        if (!out.empty())
            out += " | ";
        out += part.key;
        if (part.HasValue())
            out += "=<" + part.value + ">";
        if (!part.wellFormed)
            out += "!";
    }
    return out;
}

TEST(ConnectString, SplitsPairsWithBracedValuesAndBlanks)
{
    const struct {
        const char* text;
        const char* parts;
    } cases[] = {
        {"DSN=a;UID=b", "DSN=<a> | UID=<b>"},
        {" DSN = a ;UID=b;", "DSN=<a> | UID=<b>"},
        {"PWD={x;y}};z};UID=u", "PWD=<x;y};z> | UID=<u>"},
        // Blanks before a braced value are skipped: the braces still hold the ';'.
        {"DSN=x;PWD= {se;cret};UID=u", "DSN=<x> | PWD=<se;cret> | UID=<u>"},
        {"DSN=x;PWD=\t{se;cret} ;UID=u", "DSN=<x> | PWD=<se;cret> | UID=<u>"},
        {"Driver={PostgreSQL Unicode};A=b=c", "Driver=<PostgreSQL Unicode> | A=<b=c>"},
        {"ODBC;DSN=x", "ODBC | DSN=<x>"},
        {"DSN=x;;UID=", "DSN=<x> |  | UID=<>"},
        // A brace left open takes the rest of the text; text behind a
        // closing brace is no part of its own.
        {"DSN=x;PWD={a;UID=u", "DSN=<x> | PWD=<a;UID=u>!"},
        {"PWD={a}b;UID=u", "PWD=<a>! | UID=<u>"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Describe(SplitConnectString(c.text)), c.parts) << c.text;
}

TEST(ConnectString, PartsKnowWhereTheyStandInTheText)
{
    const std::string text = "DSN=x; PWD = {a}};b} ;UID=u";
    const auto parts = SplitConnectString(text);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(text.substr(parts[1].begin, parts[1].end - parts[1].begin), " PWD = {a}};b} ");
    EXPECT_EQ(text.substr(parts[1].valueBegin, parts[1].end - parts[1].valueBegin), " {a}};b} ");
    EXPECT_EQ(parts[1].written, "{a}};b}");
    EXPECT_TRUE(parts[1].braced);
    EXPECT_EQ(parts[2].end, text.size());
}

TEST(ConnectString, FormattedValuesReadBackUnchanged)
{
    const struct {
        const char* value;
        const char* formatted;
    } cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a;b}c", "{a;b}}c}"},
        {"{x}", "{{x}}}"},
        {"a=b", "{a=b}"},
        {" lead", "{ lead}"},
        {"trail\t", "{trail\t}"},
        {"}}", "{}}}}}"},
        {"пароль;1", "{пароль;1}"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(odbcbase::FormatConnectValue(c.value), c.formatted) << c.value;
        EXPECT_EQ(odbcbase::FindConnectValue("DSN=d;PWD=" + odbcbase::FormatConnectValue(c.value) + ";UID=u", "pwd"),
                  c.value);
    }
    EXPECT_EQ(odbcbase::FindConnectValue("DSN=d", "UID"), std::nullopt);
    EXPECT_EQ(odbcbase::FindConnectValue("XUID=z;uid=b", "UID"), "b");
}

TEST(ConnectString, PasswordsAreHiddenWhateverTheirForm)
{
    const struct {
        const char* text;
        const char* hidden;
    } cases[] = {
        {"DSN=a;PWD=secret;UID=b", "DSN=a;UID=b"},
        {"DSN=a;UID=b;pwd={se;cret}", "DSN=a;UID=b"},
        {"Driver={PostgreSQL Unicode};Password=secret;UID=b", "Driver={PostgreSQL Unicode};UID=b"},
        {"DSN=a;PASSWORD={x;y};PWD=z", "DSN=a"},
        {"DSN=x;PWD= {se;cret};UID=u", "DSN=x;UID=u"},
        {"PWD={a;b}};c};DSN=x", "DSN=x"},
        {"DSN=x;PWD={open;UID=u", "DSN=x"},
        {"DSN=x;UID=u", "DSN=x;UID=u"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(odbcbase::HidePassword(c.text), c.hidden) << c.text;
        EXPECT_EQ(odbcbase::HasPassword(c.text), std::string(c.text) != c.hidden) << c.text;
    }
    EXPECT_FALSE(odbcbase::HasPassword("DSN=x;PWD=;UID=u"));
}

TEST(Engine, IsToldByDbmsOrDriverName)
{
    using odbcbase::Engine;
    const struct {
        const char* name;
        Engine engine;
    } dbms[] = {
        {"PostgreSQL", Engine::PostgreSql},
        {"postgresql", Engine::PostgreSql},
        {"SQLite", Engine::Sqlite},
        {"Microsoft SQL Server", Engine::SqlServer},
        {"MySQL", Engine::Other},
        {"", Engine::Other},
    };
    for (const auto& c : dbms)
        EXPECT_EQ(odbcbase::EngineOfDbmsName(c.name), c.engine) << c.name;
    const struct {
        const char* name;
        Engine engine;
    } drivers[] = {
        {"PostgreSQL Unicode", Engine::PostgreSql},
        {"/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so", Engine::PostgreSql},
        {"psqlodbca.so", Engine::PostgreSql},
        {"SQLite3", Engine::Sqlite},
        {"/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so", Engine::Sqlite},
        {"ODBC Driver 18 for SQL Server", Engine::SqlServer},
        {"/opt/postgresql/libmyodbc.so", Engine::Other},
    };
    for (const auto& c : drivers)
        EXPECT_EQ(odbcbase::EngineOfDriver(c.name), c.engine) << c.name;
}

} // namespace
