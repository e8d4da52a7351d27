// Values, texts, arrays and errors of the ADO layer; no database.
#include "ado/ado.h"
#include "tests/platform/ado/errorof.h"

#include <gtest/gtest.h>

#include <functional>

using namespace ado;
using kelm::test::ErrorOf;

namespace {

TEST(AdoVariant, IntegerConversionsRangeCheckAndRefuseNull)
{
    struct Case {
        const char* what;
        _variant_t value;
        HRESULT shortError;
        short shortValue;
        HRESULT longError;
        long longValue;
    } cases[] = {
        {"empty", _variant_t(), S_OK, 0, S_OK, 0},
        {"null", _variant_t::Null(), DISP_E_TYPEMISMATCH, 0, DISP_E_TYPEMISMATCH, 0},
        {"i2", _variant_t(static_cast<short>(-7)), S_OK, -7, S_OK, -7},
        {"i4 40000", _variant_t(40000), DISP_E_OVERFLOW, 0, S_OK, 40000},
        {"i8 5", _variant_t(5LL), S_OK, 5, S_OK, 5},
        {"i8 big", _variant_t(5000000000LL), DISP_E_OVERFLOW, 0, DISP_E_OVERFLOW, 0},
        {"text 12", _variant_t(" 12 "), S_OK, 12, S_OK, 12},
        {"text -3", _variant_t("-3"), S_OK, -3, S_OK, -3},
        {"text x", _variant_t("x"), DISP_E_TYPEMISMATCH, 0, DISP_E_TYPEMISMATCH, 0},
        {"text empty", _variant_t(""), DISP_E_TYPEMISMATCH, 0, DISP_E_TYPEMISMATCH, 0},
        {"text 12x", _variant_t("12x"), DISP_E_TYPEMISMATCH, 0, DISP_E_TYPEMISMATCH, 0},
        {"bytes", _variant_t::FromBytes("a", 1), DISP_E_TYPEMISMATCH, 0, DISP_E_TYPEMISMATCH, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        short s = 0;
        long l = 0;
        EXPECT_EQ(ErrorOf([&] { s = c.value; }), c.shortError);
        EXPECT_EQ(ErrorOf([&] { l = c.value; }), c.longError);
        if (c.shortError == S_OK) {
            EXPECT_EQ(s, c.shortValue);
        }
        if (c.longError == S_OK) {
            EXPECT_EQ(l, c.longValue);
        }
    }
}

TEST(AdoVariant, TextConversionsAndCharacterCount)
{
    EXPECT_EQ(std::string(_variant_t(42)), "42");
    EXPECT_EQ(std::string(_variant_t()), "");
    EXPECT_EQ(ErrorOf([] { (void)static_cast<_bstr_t>(_variant_t::Null()); }), DISP_E_TYPEMISMATCH);
    _bstr_t text("Ёжик\0!", 10);
    EXPECT_EQ(text.length(), 6u);
    EXPECT_EQ(text.str().size(), 10u);
    _variant_t v(std::string("a\0b", 3));
    EXPECT_EQ(v.ToString().size(), 3u);
    EXPECT_EQ(_bstr_t("").length(), 0u);
}

TEST(AdoVariant, ByteArraysCopyAndOwnTheirData)
{
    const char bytes[] = {1, 2, 3, 0, 5};
    _variant_t a = _variant_t::FromBytes(bytes, sizeof bytes);
    EXPECT_EQ(a.vt, VT_ARRAY | VT_UI1);
    ASSERT_NE(a.parray, nullptr);
    EXPECT_EQ(a.parray->rgsabound[0].cElements, 5u);
    EXPECT_EQ(a.parray->rgsabound[0].lLbound, 0);
    _variant_t b = a;
    EXPECT_NE(b.parray, a.parray);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(b.parray, &data), S_OK);
    static_cast<std::uint8_t*>(data)[0] = 9;
    SafeArrayUnaccessData(b.parray);
    EXPECT_EQ(a.ToBytes()[0], 1);
    EXPECT_EQ(b.ToBytes()[0], 9);

    _variant_t empty = _variant_t::FromBytes(nullptr, 0);
    EXPECT_EQ(empty.vt, VT_ARRAY | VT_UI1);
    ASSERT_NE(empty.parray, nullptr);
    EXPECT_EQ(empty.parray->rgsabound[0].cElements, 0u);
    EXPECT_TRUE(empty.ToBytes().empty());
    EXPECT_TRUE(_variant_t::EmptyArray().ToBytes().empty());
    EXPECT_EQ(ErrorOf([] { _variant_t("x").ToBytes(); }), DISP_E_TYPEMISMATCH);

    SAFEARRAYBOUND bound{3, 0};
    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, &bound), nullptr);
}

TEST(AdoError, MessagesForBareCodes)
{
    struct Case {
        HRESULT hr;
        const char* text;
    } cases[] = {
        {E_POINTER, "Invalid pointer"},
        {E_FAIL, "Unspecified error"},
        {DISP_E_TYPEMISMATCH, "Type mismatch."},
        {DISP_E_OVERFLOW, "Out of present range."},
        {XACT_E_NOTRANSACTION, "No transaction is active."},
        {static_cast<HRESULT>(0x80001234u), "Unknown error 0x80001234"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(_com_error(c.hr).ErrorMessage(), c.text);
    _com_error e(E_FAIL, "boom", "ODBC (SQLite)", {{"42S02", 1, "boom"}, {"01000", 2, "more"}});
    EXPECT_EQ(e.SqlState(), "42S02");
    EXPECT_EQ(e.NativeError(), 1);
    EXPECT_EQ(e.Records().size(), 2u);
    EXPECT_EQ(_com_error(E_FAIL).SqlState(), "");
}

TEST(AdoDialect, ChosenByDbmsName)
{
    EXPECT_EQ(Dialect::FromDbmsName("PostgreSQL").engine(), Dialect::Engine::PostgreSQL);
    EXPECT_EQ(Dialect::FromDbmsName("SQLite").engine(), Dialect::Engine::SQLite);
    EXPECT_EQ(Dialect::FromDbmsName("Oracle").engine(), Dialect::Engine::Unknown);
    Dialect pg(Dialect::Engine::PostgreSQL), lite(Dialect::Engine::SQLite);
    EXPECT_EQ(pg.FoldCatalogName("MainDocState"), "maindocstate");
    EXPECT_EQ(lite.FoldCatalogName("MainDocState"), "MainDocState");
    EXPECT_TRUE(Dialect::IsUndefinedTable("42S02"));
    EXPECT_TRUE(Dialect::IsUndefinedTable("42P01"));
    EXPECT_FALSE(Dialect::IsUndefinedTable("HY000"));
}

} // namespace
