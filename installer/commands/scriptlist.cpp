#include "installer/commands/scriptlist.h"

#include "installer/packed/exceptions.h"
#include "winapi/files.h"
#include "winapi/text.h"

#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

namespace dorvik {

namespace {

void put32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(v >> (8 * i));
}

void putString(std::string& out, const std::string& s)
{
    put32(out, static_cast<std::uint32_t>(s.size()));
    out += s;
}

class Reader {
public:
    explicit Reader(const std::string& data) : m_data(data) {}
    bool u32(std::uint32_t& v)
    {
        if (m_data.size() - m_pos < 4)
            return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_data[m_pos + i])) << (8 * i);
        m_pos += 4;
        return true;
    }
    bool string(std::string& s)
    {
        std::uint32_t n;
        if (!u32(n) || m_data.size() - m_pos < n)
            return false;
        s = m_data.substr(m_pos, n);
        m_pos += n;
        return true;
    }

private:
    const std::string& m_data;
    std::size_t m_pos = 0;
};

} // namespace

TScriptListItem* CScriptList::Find(std::int32_t kind, const std::string& name) const
{
    for (TListItem* p = GetHead(); p; p = p->m_pNext) {
        auto* item = static_cast<TScriptListItem*>(p);
        if (item->m_nKind == kind && item->m_strName == name)
            return item;
    }
    return nullptr;
}

void CScriptList::Save(const std::string& path) const
{
    std::string out;
    putString(out, kMarker);
    put32(out, 1);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(GetCount()));
    for (TListItem* p = GetHead(); p; p = p->m_pNext) {
        auto* item = static_cast<TScriptListItem*>(p);
        put32(out, static_cast<std::uint32_t>(item->m_nKind));
        putString(out, item->m_strName);
        putString(out, item->m_strText);
    }
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        CFileException::ThrowErrno(errno, path);
    ::flock(fd, LOCK_EX);
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::write(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            CFileException::ThrowErrno(err, path);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0)
        CFileException::ThrowErrno(errno, path);
}

int CScriptList::Load(const std::string& path)
{
    DeleteAll();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        CFileException::ThrowErrno(errno, path);
    ::flock(fd, LOCK_SH);
    std::string data;
    if (!winapi::ReadAll(fd, data)) {
        int err = errno;
        ::close(fd);
        CFileException::ThrowErrno(err, path);
    }
    ::close(fd);

    Reader in(data);
    std::string marker;
    std::uint32_t one, zero, count;
    if (!in.string(marker) || !in.u32(one) || !in.u32(zero))
        return 3;
    if (!winapi::Utf8EqualNoCase(marker, kMarker))
        return 1;
    if (one != 1 || zero != 0)
        return 2;
    if (!in.u32(count))
        return 3;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t kind;
        auto item = std::make_unique<TScriptListItem>();
        if (!in.u32(kind) || !in.string(item->m_strName) || !in.string(item->m_strText)) {
            DeleteAll();
            return 3;
        }
        item->m_nKind = static_cast<std::int32_t>(kind);
        Insert(item.release(), 0); // the list holds them in reverse file order
    }
    return 0;
}

const char* ScriptKindName(std::int32_t kind)
{
    switch (kind) {
    case 1: return "Table";
    case 2: return "View";
    case 3: return "Stored prosedure";
    case 4: return "User Defined Function";
    default: return nullptr;
    }
}

} // namespace dorvik
