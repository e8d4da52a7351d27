#include "afx/archive.h"
#include "winapi/text.h"

#include <bit>
#include <cstring>

namespace {

// Reads count bytes in steps, so that a length read from a broken archive
// ends at the end of the data instead of in one huge allocation.
template <class Byte>
void readChunked(CArchive& ar, std::vector<Byte>& out, std::uint64_t count)
{
    constexpr std::uint64_t kStep = 1 << 16;
    out.clear();
    while (count > 0) {
        std::size_t n = static_cast<std::size_t>(std::min(count, kStep));
        std::size_t old = out.size();
        out.resize(old + n);
        ar.ReadExact(out.data() + old, n * sizeof(Byte));
        count -= n;
    }
}

} // namespace

CArchive::CArchive(CFile* file, unsigned mode) : m_file(file), m_mode(mode & load ? load : store)
{
    if (!file)
        ThrowException(CArchiveException::genericException, "archive without a file");
}

void CArchive::ThrowException(CArchiveException::Cause cause, const std::string& what)
{
    throw CArchiveException(cause, "archive: " + what);
}

void CArchive::checkLoading() const
{
    if (!IsLoading())
        ThrowException(CArchiveException::writeOnly, "reading from an archive that stores");
}

void CArchive::checkStoring() const
{
    if (!IsStoring())
        ThrowException(CArchiveException::readOnly, "writing to an archive that loads");
}

void CArchive::Flush()
{
    if (IsStoring())
        m_file->Flush();
}

std::size_t CArchive::Read(void* buffer, std::size_t count)
{
    checkLoading();
    std::size_t total = 0;
    auto* p = static_cast<std::uint8_t*>(buffer);
    while (total < count) {
        std::size_t n = m_file->Read(p + total, count - total);
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

void CArchive::ReadExact(void* buffer, std::size_t count)
{
    if (Read(buffer, count) != count)
        ThrowException(CArchiveException::endOfFile, "unexpected end of data");
}

void CArchive::Write(const void* buffer, std::size_t count)
{
    checkStoring();
    m_file->Write(buffer, count);
}

CArchive& CArchive::operator<<(float v)
{
    return put(std::bit_cast<std::uint32_t>(v));
}

CArchive& CArchive::operator<<(double v)
{
    return put(std::bit_cast<std::uint64_t>(v));
}

CArchive& CArchive::operator>>(float& v)
{
    v = std::bit_cast<float>(get<std::uint32_t>());
    return *this;
}

CArchive& CArchive::operator>>(double& v)
{
    v = std::bit_cast<double>(get<std::uint64_t>());
    return *this;
}

CArchive& CArchive::operator<<(const std::string& s)
{
    const std::uint64_t n = s.size();
    if (n < 0xFF) {
        put(static_cast<std::uint8_t>(n));
    } else if (n < 0xFFFE) {
        put(static_cast<std::uint8_t>(0xFF));
        put(static_cast<std::uint16_t>(n));
    } else if (n < 0xFFFFFFFFu) {
        put(static_cast<std::uint8_t>(0xFF));
        put(static_cast<std::uint16_t>(0xFFFF));
        put(static_cast<std::uint32_t>(n));
    } else {
        put(static_cast<std::uint8_t>(0xFF));
        put(static_cast<std::uint16_t>(0xFFFF));
        put(static_cast<std::uint32_t>(0xFFFFFFFFu));
        put(n);
    }
    Write(s.data(), s.size());
    return *this;
}

CArchive& CArchive::operator>>(std::string& s)
{
    bool wide = false;
    std::uint64_t n = get<std::uint8_t>();
    if (n == 0xFF) {
        n = get<std::uint16_t>();
        if (n == 0xFFFE) {
            // Marker of a wide-character string; its length follows.
            wide = true;
            n = get<std::uint8_t>();
            if (n == 0xFF)
                n = get<std::uint16_t>();
        }
        if (n == 0xFFFF) {
            n = get<std::uint32_t>();
            if (n == 0xFFFFFFFFu)
                n = get<std::uint64_t>();
        }
    }
    if (wide) {
        std::vector<char16_t> w;
        readChunked(*this, w, n);
        for (auto& c : w) // little-endian on disk
            c = static_cast<char16_t>(reinterpret_cast<std::uint8_t*>(&c)[0] |
                                      (reinterpret_cast<std::uint8_t*>(&c)[1] << 8));
        s = winapi::Utf16ToUtf8(std::u16string_view(w.data(), w.size()));
    } else {
        std::vector<char> bytes;
        readChunked(*this, bytes, n);
        s.assign(bytes.begin(), bytes.end());
    }
    return *this;
}

void CArchive::WriteCount(std::uint32_t count)
{
    if (count < 0xFFFF) {
        put(static_cast<std::uint16_t>(count));
    } else {
        put(static_cast<std::uint16_t>(0xFFFF));
        put(count);
    }
}

std::uint32_t CArchive::ReadCount()
{
    std::uint32_t n = get<std::uint16_t>();
    if (n == 0xFFFF)
        n = get<std::uint32_t>();
    return n;
}

void CArchive::WriteClass(const CRuntimeClass* cls)
{
    checkStoring();
    if (!cls || !cls->IsSerializable())
        ThrowException(CArchiveException::badClass, "class cannot be stored");
    if (const std::uint32_t* found = m_storeMap.Find(cls)) {
        const std::uint32_t index = *found;
        if (index < wBigObjectTag) {
            put(static_cast<std::uint16_t>(wClassTag | index));
        } else {
            put(wBigObjectTag);
            put(static_cast<std::uint32_t>(dwBigClassTag | index));
        }
        return;
    }
    put(wNewClassTag);
    const std::size_t len = std::strlen(cls->m_lpszClassName);
    put(static_cast<std::uint16_t>(cls->m_wSchema));
    put(static_cast<std::uint16_t>(len));
    Write(cls->m_lpszClassName, len);
    m_storeMap.Insert(cls, m_nMapCount++);
}

void CArchive::WriteObject(const CObject* ob)
{
    checkStoring();
    if (!ob) {
        put(wNullTag);
        return;
    }
    if (const std::uint32_t* found = m_storeMap.Find(ob)) {
        const std::uint32_t index = *found;
        if (index < wBigObjectTag) {
            put(static_cast<std::uint16_t>(index));
        } else {
            put(wBigObjectTag);
            put(index);
        }
        return;
    }
    WriteClass(ob->GetRuntimeClass());
    m_storeMap.Insert(ob, m_nMapCount++);
    // Serialize is not const in the class library's interface.
    const_cast<CObject*>(ob)->Serialize(*this);
}

void CArchive::WriteNewObject(const CObject* ob)
{
    checkStoring();
    if (!ob) {
        put(wNullTag);
        return;
    }
    WriteClass(ob->GetRuntimeClass());
    // The object takes its index as WriteObject would give it one.
    ++m_nMapCount;
    const_cast<CObject*>(ob)->Serialize(*this);
}

const CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* requested, std::uint32_t* schema,
                                         std::uint32_t* objectTag)
{
    checkLoading();
    const std::uint16_t wTag = get<std::uint16_t>();
    std::uint32_t obTag;
    if (wTag == wBigObjectTag)
        obTag = get<std::uint32_t>();
    else
        obTag = (static_cast<std::uint32_t>(wTag & wClassTag) << 16) | (wTag & ~wClassTag);

    if (!(obTag & dwBigClassTag)) {
        if (!objectTag)
            ThrowException(CArchiveException::badIndex, "object tag where a class was expected");
        *objectTag = obTag;
        return nullptr;
    }

    const CRuntimeClass* cls = nullptr;
    std::uint32_t loadedSchema = 0;
    if (wTag == wNewClassTag) {
        const std::uint16_t wSchema = get<std::uint16_t>();
        const std::uint16_t len = get<std::uint16_t>();
        std::string name(len, '\0');
        ReadExact(name.data(), len);
        cls = CRuntimeClass::FromName(name);
        if (!cls || !cls->IsSerializable())
            ThrowException(CArchiveException::badClass, "unknown class \"" + name + "\"");
        const std::uint32_t own = cls->m_wSchema & ~VERSIONABLE_SCHEMA;
        if (wSchema != own && !(cls->m_wSchema & VERSIONABLE_SCHEMA))
            ThrowException(CArchiveException::badSchema,
                           "class \"" + name + "\" with schema " + std::to_string(wSchema));
        loadedSchema = wSchema;
        LoadEntry e;
        e.cls = cls;
        e.schema = loadedSchema;
        m_loadArray.push_back(e);
        ++m_nMapCount;
    } else {
        const std::uint32_t index = obTag & ~dwBigClassTag;
        if (index == 0 || index >= m_loadArray.size() || !m_loadArray[index].cls)
            ThrowException(CArchiveException::badIndex, "class index " + std::to_string(index));
        cls = m_loadArray[index].cls;
        loadedSchema = m_loadArray[index].schema;
    }
    if (requested && !cls->IsDerivedFrom(requested))
        ThrowException(CArchiveException::badClass, std::string("class \"") + cls->m_lpszClassName +
                                                         "\" where \"" + requested->m_lpszClassName +
                                                         "\" was expected");
    if (schema)
        *schema = loadedSchema;
    return cls;
}

CObject* CArchive::ReadObject(const CRuntimeClass* requested)
{
    std::uint32_t schema = 0;
    std::uint32_t obTag = 0;
    const CRuntimeClass* cls = ReadClass(requested, &schema, &obTag);
    if (!cls) {
        if (obTag == 0)
            return nullptr;
        if (obTag >= m_loadArray.size() || !m_loadArray[obTag].ob)
            ThrowException(CArchiveException::badIndex, "object index " + std::to_string(obTag));
        CObject* ob = m_loadArray[obTag].ob;
        if (requested && !ob->IsKindOf(requested))
            ThrowException(CArchiveException::badClass, "object of an unexpected class");
        return ob;
    }
    if (m_depth >= kMaxDepth)
        ThrowException(CArchiveException::genericException, "objects nested too deeply");
    CObject* ob = cls->CreateObject();
    if (!ob)
        ThrowException(CArchiveException::badClass,
                       std::string("class \"") + cls->m_lpszClassName + "\" cannot be created");
    const std::size_t slot = m_loadArray.size();
    LoadEntry e;
    e.ob = ob;
    m_loadArray.push_back(e);
    ++m_nMapCount;
    m_nObjectSchema = schema;
    ++m_depth;
    try {
        ob->Serialize(*this);
    } catch (...) {
        --m_depth;
        m_loadArray[slot].ob = nullptr;
        ob->DiscardAfterFailedLoad();
        throw;
    }
    --m_depth;
    return ob;
}

std::uint32_t CArchive::GetObjectSchema()
{
    std::uint32_t s = m_nObjectSchema;
    m_nObjectSchema = 0xFFFFFFFFu;
    return s;
}
