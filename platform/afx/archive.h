// The class library's archive: little-endian values, length-prefixed
// strings, and objects written with their class (a new class by its schema
// and name, a class or object seen before by its index), over any CFile.
#pragma once

#include "afx/file.h"
#include "afx/geometry.h"
#include "afx/object.h"
#include "afx/pointermap.h"

#include <concepts>
#include <cstdint>
#include <string>
#include <vector>

class CArchiveException : public CException {
public:
    enum Cause { none, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };
    CArchiveException(Cause cause, const std::string& what) : CException(what), m_cause(cause) {}
    Cause m_cause;
};

class CArchive {
public:
    enum Mode { store = 0, load = 1 };

    // Tags of the object stream.
    static constexpr std::uint16_t wNullTag = 0;
    static constexpr std::uint16_t wNewClassTag = 0xFFFF;
    static constexpr std::uint16_t wClassTag = 0x8000;
    static constexpr std::uint32_t dwBigClassTag = 0x80000000u;
    static constexpr std::uint16_t wBigObjectTag = 0x7FFF;
    // Objects nested deeper than this are taken for a broken archive.
    static constexpr int kMaxDepth = 200;

    CArchive(CFile* file, unsigned mode);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_mode == load; }
    bool IsStoring() const { return m_mode == store; }
    CFile* GetFile() const { return m_file; }
    void Flush();
    void Close() { Flush(); }

    // Raw bytes. Read returns how many it got; ReadExact throws at the end.
    std::size_t Read(void* buffer, std::size_t count);
    void ReadExact(void* buffer, std::size_t count);
    void Write(const void* buffer, std::size_t count);

    CArchive& operator<<(char v) { return put(static_cast<std::uint8_t>(v)); }
    CArchive& operator<<(std::int8_t v) { return put(static_cast<std::uint8_t>(v)); }
    CArchive& operator<<(std::uint8_t v) { return put(v); }
    CArchive& operator<<(bool v) { return put(static_cast<std::uint8_t>(v ? 1 : 0)); }
    CArchive& operator<<(std::int16_t v) { return put(static_cast<std::uint16_t>(v)); }
    CArchive& operator<<(std::uint16_t v) { return put(v); }
    CArchive& operator<<(std::int32_t v) { return put(static_cast<std::uint32_t>(v)); }
    CArchive& operator<<(std::uint32_t v) { return put(v); }
    CArchive& operator<<(std::int64_t v) { return put(static_cast<std::uint64_t>(v)); }
    CArchive& operator<<(std::uint64_t v) { return put(v); }
    CArchive& operator<<(float v);
    CArchive& operator<<(double v);
    CArchive& operator<<(const std::string& s);
    CArchive& operator<<(const char* s) { return *this << std::string(s); }
    CArchive& operator<<(const CPoint& p) { return *this << p.x << p.y; }
    CArchive& operator<<(const CSize& s) { return *this << s.cx << s.cy; }
    CArchive& operator<<(const CRect& r) { return *this << r.left << r.top << r.right << r.bottom; }
    CArchive& operator<<(const CObject* ob)
    {
        WriteObject(ob);
        return *this;
    }

    CArchive& operator>>(char& v) { v = static_cast<char>(get<std::uint8_t>()); return *this; }
    CArchive& operator>>(std::int8_t& v) { v = static_cast<std::int8_t>(get<std::uint8_t>()); return *this; }
    CArchive& operator>>(std::uint8_t& v) { v = get<std::uint8_t>(); return *this; }
    CArchive& operator>>(bool& v) { v = get<std::uint8_t>() != 0; return *this; }
    CArchive& operator>>(std::int16_t& v) { v = static_cast<std::int16_t>(get<std::uint16_t>()); return *this; }
    CArchive& operator>>(std::uint16_t& v) { v = get<std::uint16_t>(); return *this; }
    CArchive& operator>>(std::int32_t& v) { v = static_cast<std::int32_t>(get<std::uint32_t>()); return *this; }
    CArchive& operator>>(std::uint32_t& v) { v = get<std::uint32_t>(); return *this; }
    CArchive& operator>>(std::int64_t& v) { v = static_cast<std::int64_t>(get<std::uint64_t>()); return *this; }
    CArchive& operator>>(std::uint64_t& v) { v = get<std::uint64_t>(); return *this; }
    CArchive& operator>>(float& v);
    CArchive& operator>>(double& v);
    CArchive& operator>>(std::string& s);
    CArchive& operator>>(CPoint& p) { return *this >> p.x >> p.y; }
    CArchive& operator>>(CSize& s) { return *this >> s.cx >> s.cy; }
    CArchive& operator>>(CRect& r) { return *this >> r.left >> r.top >> r.right >> r.bottom; }

    // Element counts of collections: a 16-bit count, or 0xFFFF and 32 bits.
    void WriteCount(std::uint32_t count);
    std::uint32_t ReadCount();

    void WriteObject(const CObject* ob);
    // Writes an object that this archive has not written and will not write
    // again (a component of a model, which the model owns once): the same
    // bytes as WriteObject, without looking the object up or keeping it.
    void WriteNewObject(const CObject* ob);
    // Reads an object of the requested class or one derived from it; null for
    // a null tag. A new object belongs to the caller.
    CObject* ReadObject(const CRuntimeClass* requested);
    void WriteClass(const CRuntimeClass* cls);
    const CRuntimeClass* ReadClass(const CRuntimeClass* requested = nullptr,
                                   std::uint32_t* schema = nullptr, std::uint32_t* objectTag = nullptr);

    // The schema of the object being read (for versionable classes); answers
    // once, then 0xFFFFFFFF until the next object.
    std::uint32_t GetObjectSchema();
    void SetObjectSchema(std::uint32_t schema) { m_nObjectSchema = schema; }

    [[noreturn]] static void ThrowException(CArchiveException::Cause cause, const std::string& what);

private:
    template <class T>
    CArchive& put(T v)
    {
        std::uint8_t b[sizeof(T)];
        for (std::size_t i = 0; i < sizeof(T); ++i)
            b[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) >> (8 * i));
        Write(b, sizeof(T));
        return *this;
    }
    template <class T>
    T get()
    {
        std::uint8_t b[sizeof(T)];
        ReadExact(b, sizeof(T));
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<std::uint64_t>(b[i]) << (8 * i);
        return static_cast<T>(v);
    }
    void checkLoading() const;
    void checkStoring() const;

    struct LoadEntry {
        const CRuntimeClass* cls = nullptr; // set for a class entry
        std::uint32_t schema = 0;
        CObject* ob = nullptr;              // set for an object entry
    };

    CFile* m_file;
    Mode m_mode;
    std::uint32_t m_nMapCount = 1;
    PointerMap<std::uint32_t> m_storeMap; // classes and objects written, by address
    std::vector<LoadEntry> m_loadArray{LoadEntry{}};
    std::uint32_t m_nObjectSchema = 0xFFFFFFFFu;
    int m_depth = 0;
};

// Reads a pointer of the declared class: `ar >> pState`.
template <class T>
    requires std::derived_from<T, CObject>
CArchive& operator>>(CArchive& ar, T*& p)
{
    CObject* ob = ar.ReadObject(T::GetThisClass());
    p = dynamic_cast<T*>(ob);
    if (ob && !p)
        CArchive::ThrowException(CArchiveException::badClass, "object of an unexpected class");
    return ar;
}

template <class T>
    requires std::derived_from<T, CObject>
CArchive& operator<<(CArchive& ar, T* p)
{
    ar.WriteObject(p);
    return ar;
}
