#include "odbc/sql/sqltext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

bool Lookup(const char* name, std::string& value)
{
    const std::string n = name;
    if (n == "tbl")
        value = "people";
    else if (n == "таблица")
        value = "t";
    else if (n == "big")
        value = std::string(5000, 'a');
    else
        return false;
    return true;
}

TEST(SqlText, ParserTable)
{
    const std::string big(5000, 'a');
    const struct {
        const char* text;
        bool callback;
        std::string out;
        Names binds;
        int type;
        int error; // 0: none
        const char* message;
    } cases[] = {
        // markers
        {"SELECT * FROM t WHERE a = :p1 AND b = :p2", true,
         "SELECT * FROM t WHERE a = ? AND b = ?", {":p1", ":p2"}, 1, 0, ""},
        {"exec p :a, :a", true, "exec p ?, ?", {":a", ":a"}, 5, 0, ""},
        {"SELECT * FROM $tbl WHERE id = :id", true, "SELECT * FROM people WHERE id = ?", {":id"}, 1, 0, ""},
        {"SELECT :Имя, $таблица", true, "SELECT ?, t", {":Имя"}, 1, 0, ""},
        {"SELECT $big", true, "SELECT " + big, {}, 1, 0, ""},
        {"a:b", true, "a:b", {}, 0, 0, ""},
        {"'a':p", true, "'a':p", {}, 0, 0, ""},
        {"\t x = :v \r\n", true, "x = ?", {":v"}, 0, 0, ""},
        // query types
        {"INSERT INTO t SELECT * FROM s", true, "INSERT INTO t SELECT * FROM s", {}, 2, 0, ""},
        {"EXEC p; SELECT 1", true, "EXEC p; SELECT 1", {}, 1, 0, ""},
        {"SELECT 1; EXEC p", true, "SELECT 1; EXEC p", {}, 1, 0, ""},
        {"update t set a = (select 1)", true, "update t set a = (select 1)", {}, 3, 0, ""},
        {"DELETE FROM t WHERE a IN (SELECT b FROM s)", true,
         "DELETE FROM t WHERE a IN (SELECT b FROM s)", {}, 1, 0, ""},
        {"SELECT 1 DELETE", true, "SELECT 1 DELETE", {}, 4, 0, ""},
        {"Execute p", true, "Execute p", {}, 5, 0, ""},
        {"call p", true, "call p", {}, 5, 0, ""},
        {"INSERT INTO t EXEC p", true, "INSERT INTO t EXEC p", {}, 2, 0, ""},
        {"SELECTED FROM", true, "SELECTED FROM", {}, 0, 0, ""},
        // errors
        {"SELECT : FROM t", true, "SELECT", {}, 1, 4,
         "Определен символ связывания ':', но отсутствует имя переменной."},
        {"SELECT $x FROM t", true, "SELECT", {}, 1, 2, "Отсутствует переменная '#x' для подстановки."},
        {"SELECT :a, $tbl", false, "SELECT ?,", {":a"}, 1, 1,
         "Отсутствует функция получения значений переменных."},
        {"SELECT $ FROM", true, "SELECT", {}, 1, 3,
         "Определен символ подстановки '#', но отсутствует имя переменной."},
        // quotes
        {"SELECT ':p', \"$q\" FROM t", false, "SELECT ':p', \"$q\" FROM t", {}, 1, 0, ""},
        {"SELECT 'it''s :p' FROM t WHERE a = :p", true,
         "SELECT 'it''s :p' FROM t WHERE a = ?", {":p"}, 1, 0, ""},
        {"'unterminated :p", true, "'unterminated :p", {}, 0, 0, ""},
        // comments
        {"x /* a /* b */ c */ y", true, "x   y", {}, 0, 0, ""},
        {"x /*:a*/ :b", true, "x   ?", {":b"}, 0, 0, ""},
        // the character right after a word is copied unexamined, "/" included
        {"x/*:a*/:b", true, "x/*?*/:b", {":a"}, 0, 0, ""},
        {"SELECT a -- c :p\r\nFROM t", true, "SELECT a  \nFROM t", {}, 1, 0, ""},
        {"-- only\n:p", true, "?", {":p"}, 0, 0, ""},
        {"/* open comment :p", true, "", {}, 0, 0, ""},
        {"a/b-c", true, "a/b-c", {}, 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CParserReplace parser(c.text, c.callback ? Lookup : nullptr);
        EXPECT_EQ(parser.m_strOut, c.out);
        Names binds{"left over"};
        parser.GetBindVariables(binds);
        EXPECT_EQ(binds, c.binds);
        EXPECT_EQ(parser.IsBindVariables(), !c.binds.empty());
        EXPECT_EQ(parser.GetQueryType(), c.type);
        EXPECT_EQ(parser.IsError(), c.error != 0);
        EXPECT_EQ(parser.GetError(), c.message);
    }
}

TEST(SqlText, KeywordList)
{
    const auto words = CParserReplace::GetKeywords();
    ASSERT_EQ(words.size(), 238u);
    EXPECT_STREQ(words[0], "");
    const char* first[] = {"SELECT", "INSERT", "UPDATE", "DELETE", "EXEC",
                           "EXECUTE", "CALL", "FROM", "WHERE", "ABSOLUTE"};
    for (std::size_t i = 0; i < std::size(first); ++i)
        EXPECT_STREQ(words[i + 1], first[i]);
    EXPECT_STREQ(words[237], "ZONE");
    EXPECT_EQ(std::count_if(words.begin(), words.end(),
                            [](const char* w) { return std::strcmp(w, "END-EXEC") == 0; }),
              1);
}

TEST(SqlText, BatchSplitting)
{
    const struct {
        const char* script;
        Names batches;
    } cases[] = {
        {"A\nGO\nB;C", {"A", "B", "C"}},
        {"GOTO x\nALGO\r\n", {"GOTO x\nALGO"}},
        {"a GO b go c Go d gO", {"a", "b", "c", "d"}},
        {"a; ;\n\t; b;", {"a", "b"}},
        {"-- note\nGO\n/* c */;x", {"-- note", "/* c */", "x"}},
        {"SELECT 'GO;' FROM t GO", {"SELECT 'GO;' FROM t"}},
        {"SELECT \"a;b\" FROM t;", {"SELECT \"a;b\" FROM t"}},
        {"SELECT 1 -- GO ;\r\nGO", {"SELECT 1 -- GO ;"}},
        {"/* GO /* ; */ GO */ x", {"/* GO /* ; */ GO */ x"}},
        {"Иго GO б", {"Иго", "б"}},
        {"GO_1 GO2 _GO", {"GO_1 GO2 _GO"}},
        {"a.GO(b)", {"a.", "(b)"}},
        {"'unterminated; GO", {"'unterminated; GO"}},
        {"/* unterminated; GO", {"/* unterminated; GO"}},
        {"", {}},
        {" \r\n\t\v ", {}},
        {"Go\r\ngO", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        Names batches{"kept"};
        GetBatchsFromString(c.script, batches);
        Names expected{"kept"};
        expected.insert(expected.end(), c.batches.begin(), c.batches.end());
        EXPECT_EQ(batches, expected);
    }
}

TEST(SqlText, DeleteAllComments)
{
    const struct {
        const char* text;
        const char* out;
    } cases[] = {
        {"SELECT a -- c\r\nFROM t", "SELECT a FROM t"},
        {"SELECT a--c\nFROM t", "SELECT a FROM t"},
        {"-- only", ""},
        {"-- head\nSELECT 1", "SELECT 1"},
        {"a -- c\rb", "a b"},
        {"x/* a /* b */ c */y", "x y"},
        {"x /* c */ y", "x  y"},
        {"/* open", ""},
        {"SELECT '--not', '/*no*/' FROM t", "SELECT '--not', '/*no*/' FROM t"},
        {"\"it's\" -- x", "\"it's\" "},
        {"'it''s--' x", "'it''s--' x"},
        {"a - b / c */ d", "a - b / c */ d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string out = "old";
        DeleteAllComments(c.text, out);
        EXPECT_EQ(out, c.out);
    }
}

TEST(SqlText, FindSubString)
{
    const char* text = "abcABC";
    EXPECT_EQ(FindSubString(text, "ABC", true), text + 3);
    EXPECT_EQ(FindSubString(text, "ABC", false), text);
    EXPECT_EQ(FindSubString(text, "cA", true), text + 2);
    EXPECT_EQ(FindSubString(text, "abd", false), nullptr);
    EXPECT_EQ(FindSubString(text, "abcABCx", false), nullptr);
    EXPECT_EQ(FindSubString(text, "", true), text);
    EXPECT_EQ(FindSubString("", "", true), nullptr);
    EXPECT_EQ(FindSubString(nullptr, "a", true), nullptr);
}

TEST(SqlText, WordsReplaceCode)
{
    const CWordReplace table[] = {{"GETDATE", "now"},
                                  {"ISNULL", "coalesce"},
                                  {"isnull", "second"},
                                  {"+", "||"},
                                  {"dbo.t", "public.t"},
                                  {nullptr, "never"}};
    const struct {
        const char* text;
        bool caseSensitive;
        const char* separators;
        const char* out;
    } cases[] = {
        {"select ISNULL(a,0), getdate() from dbo.t", false, "(),",
         "select coalesce(a,0), now() from public.t"},
        {"select isnull(a,0), getdate() from dbo.t", true, "(),",
         "select second(a,0), getdate() from public.t"},
        {"a + b+c", false, "+", "a || b||c"},
        {"a + b+c", false, nullptr, "a || b+c"},
        {"'ISNULL' \"GETDATE\" ISNULL", false, "", "'ISNULL' \"GETDATE\" coalesce"},
        {"-- ISNULL\r\n/* GETDATE /* x */ ISNULL */ ISNULL", false, "",
         "-- ISNULL\r\n/* GETDATE /* x */ ISNULL */ coalesce"},
        {"-ISNULL /GETDATE ISNULL-1", false, "", "-coalesce /now ISNULL-1"},
        {"\t ISNULL \r\n", false, "", "\t coalesce \r\n"},
        {"'open ISNULL", false, "", "'open ISNULL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string out = "X:";
        WordsReplaceCode(c.text, table, out, c.caseSensitive, c.separators);
        EXPECT_EQ(out, std::string("X:") + c.out);
    }
}

} // namespace
