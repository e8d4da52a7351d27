#include "afx/archive.h"
#include "afx/file.h"
#include "afx/object.h"

#include "tests/common/testsupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class TShape : public CObject {
    DECLARE_SERIAL(TShape)
public:
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << m_id;
        } else {
            m_schema = ar.GetObjectSchema();
            ar >> m_id;
        }
    }
    std::int32_t m_id = 0;
    std::uint32_t m_schema = 0;
};
IMPLEMENT_SERIAL(TShape, CObject, VERSIONABLE_SCHEMA | 2)

class TSquare : public TShape {
    DECLARE_SERIAL(TSquare)
public:
    void Serialize(CArchive& ar) override
    {
        TShape::Serialize(ar);
        if (ar.IsStoring())
            ar << m_side;
        else
            ar >> m_side;
    }
    std::int16_t m_side = 0;
};
IMPLEMENT_SERIAL(TSquare, TShape, 1)

class TPlain : public CObject {
    DECLARE_DYNCREATE(TPlain)
};
IMPLEMENT_DYNCREATE(TPlain, CObject)

template <class F>
Bytes store(F&& write)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    write(ar);
    ar.Close();
    return file.Detach();
}

Bytes bytes(std::initializer_list<int> v)
{
    Bytes out;
    for (int b : v)
        out.push_back(static_cast<std::uint8_t>(b));
    return out;
}

TEST(RuntimeClass, CreatesByNameAndTestsKinds)
{
    std::unique_ptr<CObject> ob(CRuntimeClass::CreateObject("TSquare"));
    ASSERT_NE(ob, nullptr);
    EXPECT_TRUE(ob->IsKindOf(RUNTIME_CLASS(TSquare)));
    EXPECT_TRUE(ob->IsKindOf(RUNTIME_CLASS(TShape)));
    EXPECT_TRUE(ob->IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(ob->IsKindOf(RUNTIME_CLASS(TPlain)));
    EXPECT_FALSE(ob->IsKindOf(nullptr));
    EXPECT_EQ(CRuntimeClass::FromName("TShape")->m_wSchema, VERSIONABLE_SCHEMA | 2);
    EXPECT_EQ(CRuntimeClass::CreateObject("NoSuchClass"), nullptr);
    EXPECT_EQ(CRuntimeClass::FromName("tshape"), nullptr); // names are exact
    EXPECT_FALSE(RUNTIME_CLASS(TPlain)->IsSerializable());
}

TEST(Archive, ValuesAreLittleEndian)
{
    Bytes b = store([](CArchive& ar) {
        ar << std::uint8_t{0x01} << std::int16_t{-2} << std::uint16_t{0x1234} << std::int32_t{-1}
           << std::uint32_t{0x11223344} << std::int64_t{0x0102030405060708} << 1.0 << 1.5f << true;
    });
    EXPECT_EQ(b, bytes({0x01, 0xFE, 0xFF, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0x44, 0x33, 0x22, 0x11,
                        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,
                        0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0xC0, 0x3F, 0x01}));
    CMemFile f(b);
    CArchive ar(&f, CArchive::load);
    std::uint8_t u8;
    std::int16_t i16;
    std::uint16_t u16;
    std::int32_t i32;
    std::uint32_t u32;
    std::int64_t i64;
    double d;
    float fl;
    bool flag;
    ar >> u8 >> i16 >> u16 >> i32 >> u32 >> i64 >> d >> fl >> flag;
    EXPECT_EQ(i16, -2);
    EXPECT_EQ(i32, -1);
    EXPECT_EQ(i64, 0x0102030405060708);
    EXPECT_EQ(d, 1.0);
    EXPECT_EQ(fl, 1.5f);
    EXPECT_TRUE(flag);
}

TEST(Archive, StringLengthPrefixes)
{
    struct Case {
        std::size_t length;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, bytes({0x00})},
        {254, bytes({0xFE})},
        {255, bytes({0xFF, 0xFF, 0x00})},
        {0xFFFD, bytes({0xFF, 0xFD, 0xFF})},
        {0xFFFE, bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
        {0x10000, bytes({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00})},
    };
    for (const Case& c : cases) {
        std::string s(c.length, 'x');
        Bytes b = store([&](CArchive& ar) { ar << s; });
        ASSERT_EQ(b.size(), c.prefix.size() + c.length) << c.length;
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), b.begin())) << c.length;
        CMemFile f(b);
        CArchive ar(&f, CArchive::load);
        std::string back;
        ar >> back;
        EXPECT_EQ(back, s) << c.length;
    }
}

TEST(Archive, TextIsUtf8AndWideStringsAreConverted)
{
    const std::string text = "Состояние «А»";
    Bytes b = store([&](CArchive& ar) { ar << text; });
    EXPECT_EQ(b[0], text.size());
    // A wide-character string: 0xFF, 0xFFFE marker, count of UTF-16 units.
    Bytes wide = bytes({0xFF, 0xFE, 0xFF, 0x02, 0x1F, 0x04, 0x41, 0x00});
    b.insert(b.end(), wide.begin(), wide.end());
    CMemFile f(b);
    CArchive ar(&f, CArchive::load);
    std::string a, w;
    ar >> a >> w;
    EXPECT_EQ(a, text);
    EXPECT_EQ(w, "ПA");
}

TEST(Archive, ObjectTagsAndBackReferences)
{
    TShape s1;
    s1.m_id = 7;
    TSquare q;
    q.m_id = 8;
    q.m_side = 3;
    TShape s2;
    s2.m_id = 9;
    Bytes b = store([&](CArchive& ar) { ar << &s1 << &q << &s1 << &s2 << static_cast<CObject*>(nullptr); });
    Bytes expected = bytes({0xFF, 0xFF, 0x02, 0x00, 0x06, 0x00, 'T', 'S', 'h', 'a', 'p', 'e', 7, 0, 0, 0,
                            0xFF, 0xFF, 0x01, 0x00, 0x07, 0x00, 'T', 'S', 'q', 'u', 'a', 'r', 'e', 8, 0, 0, 0, 3, 0,
                            0x02, 0x00,             // s1 again: object index 2
                            0x01, 0x80, 9, 0, 0, 0, // TShape by class index 1
                            0x00, 0x00});           // null
    EXPECT_EQ(b, expected);

    CMemFile f(b);
    CArchive ar(&f, CArchive::load);
    TShape *a = nullptr, *sq = nullptr, *again = nullptr, *c = nullptr, *null = nullptr;
    ar >> a >> sq >> again >> c >> null;
    std::unique_ptr<TShape> ua(a), usq(sq), uc(c);
    EXPECT_EQ(a, again);
    EXPECT_EQ(a->m_id, 7);
    EXPECT_EQ(a->m_schema, 2u);
    ASSERT_TRUE(sq->IsKindOf(RUNTIME_CLASS(TSquare)));
    EXPECT_EQ(static_cast<TSquare*>(sq)->m_side, 3);
    EXPECT_EQ(c->m_id, 9);
    EXPECT_EQ(null, nullptr);
}

TEST(Archive, ManyObjectsUseTheBigIndexEscape)
{
    std::vector<TShape> shapes(0x8000);
    Bytes b = store([&](CArchive& ar) {
        for (auto& s : shapes)
            ar << &s;
        ar << &shapes.back();
    });
    // Class at 1, objects from 2: the last one has index 0x8001.
    Bytes tail(b.end() - 6, b.end());
    EXPECT_EQ(tail, bytes({0xFF, 0x7F, 0x01, 0x80, 0x00, 0x00}));
    CMemFile f(b);
    CArchive ar(&f, CArchive::load);
    std::vector<std::unique_ptr<TShape>> loaded;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        TShape* p = nullptr;
        ar >> p;
        loaded.emplace_back(p);
    }
    TShape* last = nullptr;
    ar >> last;
    EXPECT_EQ(last, loaded.back().get());
}

TEST(Archive, SchemaRules)
{
    // TShape is versionable: an older schema is read and reported.
    Bytes older = bytes({0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00, 'T', 'S', 'h', 'a', 'p', 'e', 5, 0, 0, 0});
    {
        CMemFile f(older);
        CArchive ar(&f, CArchive::load);
        TShape* p = nullptr;
        ar >> p;
        std::unique_ptr<TShape> u(p);
        EXPECT_EQ(p->m_schema, 1u);
        EXPECT_EQ(p->m_id, 5);
    }
    // TSquare is not: another schema is refused.
    Bytes wrong = bytes({0xFF, 0xFF, 0x02, 0x00, 0x07, 0x00, 'T', 'S', 'q', 'u', 'a', 'r', 'e', 5, 0, 0, 0, 1, 0});
    CMemFile f(wrong);
    CArchive ar(&f, CArchive::load);
    TShape* p = nullptr;
    try {
        ar >> p;
        FAIL();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::badSchema);
    }
}

TEST(Archive, BrokenInputThrowsTheArchiveException)
{
    struct Case {
        const char* what;
        Bytes data;
        CArchiveException::Cause cause;
    };
    const Case cases[] = {
        {"empty", {}, CArchiveException::endOfFile},
        {"unknown class", bytes({0xFF, 0xFF, 0x01, 0x00, 0x03, 0x00, 'Z', 'z', 'z'}), CArchiveException::badClass},
        {"class that cannot be stored",
         bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x06, 0x00, 'T', 'P', 'l', 'a', 'i', 'n'}), CArchiveException::badClass},
        {"object index never given", bytes({0x05, 0x00}), CArchiveException::badIndex},
        {"class index never given", bytes({0x03, 0x80}), CArchiveException::badIndex},
        {"class index used as object",
         bytes({0xFF, 0xFF, 0x02, 0x00, 0x06, 0x00, 'T', 'S', 'h', 'a', 'p', 'e', 7, 0, 0, 0, 0x01, 0x00}),
         CArchiveException::badIndex},
        {"string longer than the data", bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}),
         CArchiveException::endOfFile},
    };
    for (const Case& c : cases) {
        CMemFile f(c.data);
        CArchive ar(&f, CArchive::load);
        try {
            if (std::string(c.what) == "string longer than the data") {
                std::string s;
                ar >> s;
            } else {
                for (;;) {
                    TShape* p = nullptr;
                    ar >> p;
                    delete p;
                }
            }
            ADD_FAILURE() << c.what;
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, c.cause) << c.what << ": " << e.what();
        }
    }
}

TEST(Archive, EveryTruncationThrows)
{
    TSquare q;
    q.m_id = 1;
    TShape s;
    Bytes b = store([&](CArchive& ar) { ar << &q << std::string(300, 'y') << &s << &q; });
    for (std::size_t n = 0; n < b.size(); ++n) {
        CMemFile f(b.data(), n);
        CArchive ar(&f, CArchive::load);
        std::unique_ptr<TShape> a, c;
        TShape* p = nullptr;
        std::string str;
        EXPECT_THROW(
            {
                ar >> p;
                a.reset(p);
                ar >> str >> p;
                c.reset(p);
                ar >> p;
            },
            CArchiveException)
            << n;
    }
}

TEST(Archive, WrongDirectionAndRequestedClass)
{
    CMemFile f;
    CArchive loading(&f, CArchive::load);
    EXPECT_THROW(loading << std::int32_t{1}, CArchiveException);
    Bytes b = store([](CArchive& ar) {
        TShape s;
        ar << &s;
    });
    CMemFile g(b);
    CArchive ar(&g, CArchive::load);
    TSquare* q = nullptr;
    EXPECT_THROW(ar >> q, CArchiveException); // a TShape is no TSquare
}

TEST(File, ArchiveOverADiskFileRoundTrips)
{
    kelm::test::TempDir dir;
    const std::string path = (dir / "shapes.bin").string();
    TSquare q;
    q.m_id = 42;
    q.m_side = -5;
    {
        CFile file(path, CFile::modeCreate | CFile::modeWrite);
        CArchive ar(&file, CArchive::store);
        ar << &q << std::string("конец");
        ar.Close();
    }
    CFile file(path, CFile::modeRead);
    CArchive ar(&file, CArchive::load);
    TSquare* p = nullptr;
    std::string tail;
    ar >> p >> tail;
    std::unique_ptr<TSquare> u(p);
    EXPECT_EQ(p->m_id, 42);
    EXPECT_EQ(p->m_side, -5);
    EXPECT_EQ(tail, "конец");
    EXPECT_THROW(CFile((dir / "missing").string(), CFile::modeRead), CFileException);
}

TEST(Geometry, RectangleRules)
{
    CRect r(0, 0, 10, 20);
    EXPECT_TRUE(r.PtInRect({0, 0}));
    EXPECT_FALSE(r.PtInRect({10, 5}));
    EXPECT_FALSE(r.PtInRect({5, 20}));
    EXPECT_EQ(CRect(-3, 0, 0, 0).CenterPoint(), CPoint(-1, 0)); // truncates toward zero
    CRect u;
    EXPECT_TRUE(u.UnionRect(CRect(), CRect(5, 5, 6, 6)));
    EXPECT_EQ(u, CRect(5, 5, 6, 6));
    CRect i;
    EXPECT_FALSE(i.IntersectRect(CRect(0, 0, 5, 5), CRect(5, 0, 9, 5)));
    EXPECT_TRUE(i.IsRectNull());
}

} // namespace
