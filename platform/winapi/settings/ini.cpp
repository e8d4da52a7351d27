#include "winapi/settings/ini.h"

#include "winapi/errors.h"
#include "winapi/files.h"
#include "winapi/folders.h"
#include "winapi/text.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace winapi {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

void trim(std::string_view text, std::size_t offset, std::size_t& begin, std::size_t& length)
{
    std::size_t b = 0, e = text.size();
    while (b < e && isBlank(text[b]))
        ++b;
    while (e > b && isBlank(text[e - 1]))
        --e;
    begin = offset + b;
    length = e - b;
}

std::string_view trimmed(std::string_view t)
{
    while (!t.empty() && isBlank(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back()))
        t.remove_suffix(1);
    return t;
}

// Names compare without regard to case; ASCII, the common case, without
// decoding.
bool sameName(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (((ca | cb) & 0x80) != 0)
            return Utf8EqualNoCase(a.substr(i), b.substr(i));
        if (ca != cb && ((ca | 0x20) != (cb | 0x20) || (ca | 0x20) < 'a' || (ca | 0x20) > 'z'))
            return false;
    }
    return a.size() == b.size();
}

// The folded form of a name, as the section index holds it; kept in a
// buffer of the calling thread so that a lookup allocates nothing.
const std::string& foldedName(std::string_view name)
{
    thread_local std::string buffer;
    if (std::any_of(name.begin(), name.end(), [](char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; })) {
        buffer = Utf8Fold(name);
        return buffer;
    }
    buffer.assign(name);
    for (char& c : buffer)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return buffer;
}

// A name without '/' is looked up in the Windows-folder stand-in; other
// relative names against the current folder.
std::string resolveIniPath(const std::string& file)
{
    if (file.empty() || file.find('/') != std::string::npos)
        return file;
    return GetWindowsDirectory() + "/" + file;
}

struct FileStamp {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime {};
    timespec ctime {};
    bool operator==(const FileStamp& o) const
    {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

FileStamp stampOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// Parsed files, revalidated on every read by one stat() of the path, so a
// reader sees each change another writer makes, whether it replaces the file
// (new inode) or rewrites it in place (new size, modification or change
// time). Few files are kept, and not much text: the least recently read
// go first.
class DocumentCache {
public:
    std::shared_ptr<const IniDocument> Load(const std::string& path)
    {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            const int err = errno;
            Forget(path);
            SetLastError(Win32ErrorFromErrno(err, path));
            return nullptr;
        }
        if (!S_ISREG(st.st_mode)) {
            Forget(path);
            SetLastError(kErrorAccessDenied);
            return nullptr;
        }
        std::shared_ptr<const IniDocument> previous;
        {
            std::lock_guard lock(m_mutex);
            if (Entry* e = find(path)) {
                e->lastUse = ++m_clock;
                if (e->trusted && e->stamp == stampOf(st))
                    return e->doc;
                previous = e->doc;
            }
        }
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        // Non-blocking, so that a FIFO put in the file's place since the
        // stat() cannot hang a read.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            const int err = errno;
            Forget(path);
            SetLastError(Win32ErrorFromErrno(err, path));
            return nullptr;
        }
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            Forget(path);
            SetLastError(kErrorAccessDenied);
            return nullptr;
        }
        std::string text;
        const bool ok = ReadAll(fd, text);
        const int err = errno;
        ::close(fd);
        if (!ok) {
            Forget(path);
            SetLastError(Win32ErrorFromErrno(err, path));
            return nullptr;
        }
        // A file touched again with the same text keeps its parse.
        auto doc = previous && previous->Text() == text ? std::move(previous)
                                                        : std::make_shared<const IniDocument>(std::move(text));
        store(path, stampOf(st), doc, modifiedWellBefore(stampOf(st), now));
        return doc;
    }

    void Forget(const std::string& path)
    {
        std::lock_guard lock(m_mutex);
        if (Entry* e = find(path)) {
            m_bytes -= e->bytes;
            *e = std::move(m_entries.back());
            m_entries.pop_back();
        }
    }

private:
    static constexpr std::size_t kMaxFiles = 16;
    static constexpr std::size_t kMaxBytes = std::size_t {64} << 20;

    struct Entry {
        std::string path;
        FileStamp stamp;
        std::shared_ptr<const IniDocument> doc;
        bool trusted = false;
        std::size_t bytes = 0;
        std::uint64_t lastUse = 0;
    };

    Entry* find(const std::string& path)
    {
        for (auto& e : m_entries)
            if (e.path == path)
                return &e;
        return nullptr;
    }

    void store(const std::string& path, const FileStamp& stamp, std::shared_ptr<const IniDocument> doc,
               bool trusted)
    {
        const std::size_t bytes = doc->MemoryUse();
        std::lock_guard lock(m_mutex);
        Entry* e = find(path);
        if (e != nullptr) {
            m_bytes -= e->bytes;
        } else {
            if (bytes > kMaxBytes)
                return; // read again each time rather than held
            m_entries.push_back({path, {}, nullptr, false, 0, 0});
            e = &m_entries.back();
        }
        *e = {path, stamp, std::move(doc), trusted, bytes, ++m_clock};
        m_bytes += bytes;
        // Evict the least recently read others until the cache fits.
        while (m_entries.size() > kMaxFiles || m_bytes > kMaxBytes) {
            auto victim = m_entries.end();
            for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
                if (it->path != path && (victim == m_entries.end() || it->lastUse < victim->lastUse))
                    victim = it;
            if (victim == m_entries.end()) {
                // The file just read is too big on its own.
                Entry* self = find(path);
                m_bytes -= self->bytes;
                *self = std::move(m_entries.back());
                m_entries.pop_back();
                break;
            }
            m_bytes -= victim->bytes;
            *victim = std::move(m_entries.back());
            m_entries.pop_back();
        }
    }

    // Time stamps come from a coarse clock tick and inode numbers are
    // reused, so a file changed again within a tick of the read could carry
    // the same stamp. A file whose last change was not well before it was
    // read is read again on every call until it has aged (the "racily
    // clean" rule); re-reading unchanged text keeps its parse. On a file
    // system with whole-second stamps the margin spans two seconds.
    static bool modifiedWellBefore(const FileStamp& s, const timespec& readAt)
    {
        const bool coarse = s.mtime.tv_nsec == 0 && s.ctime.tv_nsec == 0;
        const long long marginNs = coarse ? 2'100'000'000LL : 100'000'000LL;
        const auto ns = [](const timespec& t) { return t.tv_sec * 1'000'000'000LL + t.tv_nsec; };
        return ns(s.mtime) + marginNs < ns(readAt) && ns(s.ctime) + marginNs < ns(readAt);
    }

    std::mutex m_mutex;
    std::vector<Entry> m_entries;
    std::size_t m_bytes = 0;
    std::uint64_t m_clock = 0;
};

DocumentCache& cache()
{
    static DocumentCache c;
    return c;
}

std::shared_ptr<const IniDocument> loadForRead(const std::string& file)
{
    if (file.empty()) {
        SetLastError(kErrorFileNotFound);
        return nullptr;
    }
    if (file.find('/') != std::string::npos)
        return cache().Load(file); // the common case, without a copy
    return cache().Load(resolveIniPath(file));
}

// Whole items only, each with its NUL, plus the final NUL.
std::vector<std::string> cutList(std::vector<std::string> items, DWORD nSize)
{
    std::size_t used = 1;
    std::size_t keep = 0;
    for (; keep < items.size(); ++keep) {
        const std::size_t need = Utf8Length(items[keep]) + 1;
        if (used + need > nSize)
            break;
        used += need;
    }
    items.resize(nSize == 0 ? 0 : keep);
    return items;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::mutex& writeMutex()
{
    static std::mutex m;
    return m;
}

// A write goes to the target of a symbolic link, not over the link.
std::string writeTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::error_code ec;
        auto target = std::filesystem::weakly_canonical(path, ec);
        if (!ec)
            return target.string();
    }
    return path;
}

bool writeWhole(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Temporary file in the same folder, then rename: readers see the old or
// the new file, never half of one.
BOOL replaceFile(const std::string& path, const std::string& text)
{
    static std::atomic<unsigned> counter {0};
    struct stat old {};
    const bool existed = ::stat(path.c_str(), &old) == 0;
    const std::string tmp = path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
    const mode_t mode = existed ? (old.st_mode & 07777) : 0666;
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return FailWithErrno(errno, tmp);
    bool ok = writeWhole(fd, text);
    if (ok && existed) {
        ok = ::fchmod(fd, mode) == 0;
        if (ok && ::geteuid() == 0)
            ok = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    }
    if (ok)
        ok = ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return FailWithErrno(err, path);
    }
    SetLastError(kErrorSuccess);
    return kTrue;
}

BOOL writeValue(const char* section, const char* key, const char* value, const std::string& fileName)
{
    if (section == nullptr) {
        SetLastError(kErrorSuccess);
        return kTrue;
    }
    if (!IsValidIniWrite(section, key, value) || fileName.empty())
        return FailWith(kErrorInvalidParameter);
    const std::string path = writeTarget(resolveIniPath(fileName));

    std::lock_guard processLock(writeMutex());
    const std::string lockPath = path + ".lock";
    const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (lockFd < 0)
        return FailWithErrno(errno, lockPath);
    while (::flock(lockFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int err = errno;
            ::close(lockFd);
            return FailWithErrno(err, lockPath);
        }
    }
    BOOL result = kTrue;
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            result = FailWith(kErrorAccessDenied);
        } else if (!ReadAll(fd, text)) {
            result = FailWithErrno(errno, path);
        }
        ::close(fd);
    } else if (errno != ENOENT) {
        result = FailWithErrno(errno, path);
    }
    if (result) {
        const IniDocument doc(std::move(text));
        auto changed = doc.ApplyWrite(section, key, value);
        if (changed) {
            result = replaceFile(path, *changed);
            cache().Forget(path);
        }
        else
            SetLastError(kErrorSuccess);
    }
    ::flock(lockFd, LOCK_UN);
    ::close(lockFd);
    return result;
}

} // namespace

std::string_view StripIniQuotes(std::string_view v)
{
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

bool IsValidIniWrite(const char* section, const char* key, const char* value)
{
    auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (section != nullptr) {
        const std::string_view s(section);
        if (hasBreak(s) || s.find(']') != std::string_view::npos)
            return false;
    }
    if (key != nullptr) {
        const std::string_view k(key);
        const std::string_view t = trimmed(k);
        if (hasBreak(k) || k.find('=') != std::string_view::npos ||
            (!t.empty() && (t.front() == '[' || t.front() == ';')))
            return false;
    }
    if (value != nullptr && hasBreak(value))
        return false;
    return true;
}

IniDocument::IniDocument(std::string text) : m_text(std::move(text))
{
    const std::string_view all(m_text);
    if (all.substr(0, 3) == "\xEF\xBB\xBF")
        m_bomLength = 3;
    std::size_t pos = m_bomLength;
    while (pos < all.size()) {
        Line line;
        line.begin = pos;
        std::size_t nl = all.find('\n', pos);
        std::size_t end = nl == std::string_view::npos ? all.size() : nl;
        std::size_t next = nl == std::string_view::npos ? all.size() : nl + 1;
        line.eolLength = static_cast<unsigned char>(next - end);
        // A CR before the LF, or at the very end of the file, ends the line.
        if (end > pos && all[end - 1] == '\r') {
            --end;
            ++line.eolLength;
        }
        line.length = end - pos;
        const std::string_view c = all.substr(pos, line.length);
        std::size_t tb = 0, tl = 0;
        trim(c, pos, tb, tl);
        if (tl == 0) {
            line.kind = Kind::Blank;
        } else if (all[tb] == '[') {
            line.kind = Kind::Section;
            const std::string_view inner = all.substr(tb + 1, tl - 1);
            const std::size_t close = inner.find(']');
            trim(inner.substr(0, close), tb + 1, line.nameBegin, line.nameLength);
            m_sections.push_back({m_lines.size(), 0});
        } else if (all[tb] == ';') {
            line.kind = Kind::Comment;
        } else {
            line.kind = Kind::Entry;
            const std::string_view t = all.substr(tb, tl);
            const std::size_t eq = t.find('=');
            if (eq == std::string_view::npos) {
                trim(t, tb, line.nameBegin, line.nameLength);
                line.valueBegin = tb + tl;
            } else {
                trim(t.substr(0, eq), tb, line.nameBegin, line.nameLength);
                trim(t.substr(eq + 1), tb + eq + 1, line.valueBegin, line.valueLength);
            }
        }
        m_lines.push_back(line);
        pos = next;
    }
    for (std::size_t i = 0; i < m_sections.size(); ++i)
        m_sections[i].end = i + 1 < m_sections.size() ? m_sections[i + 1].header : m_lines.size();
    m_index.reserve(m_sections.size());
    for (std::size_t i = 0; i < m_sections.size(); ++i)
        m_index.emplace_back(Utf8Fold(name(m_lines[m_sections[i].header])), i);
    // Stable, so the first section of a name stays in front.
    std::stable_sort(m_index.begin(), m_index.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
}

const IniDocument::Section* IniDocument::findSection(std::string_view sectionName) const
{
    const std::string& key = foldedName(trimmed(sectionName));
    auto it = std::lower_bound(m_index.begin(), m_index.end(), key,
                               [](const auto& e, const std::string& k) { return e.first < k; });
    if (it == m_index.end() || it->first != key)
        return nullptr;
    return &m_sections[it->second];
}

std::size_t IniDocument::MemoryUse() const
{
    std::size_t bytes = sizeof(*this) + m_text.capacity() + m_lines.capacity() * sizeof(Line) +
                        m_sections.capacity() * sizeof(Section);
    for (const auto& [folded, index] : m_index)
        bytes += sizeof(folded) + sizeof(index) + (folded.size() > 15 ? folded.capacity() : 0);
    return bytes;
}

bool IniDocument::terminated(const Line& l) const
{
    return l.eolLength != 0 && m_text[l.begin + l.length + l.eolLength - 1] == '\n';
}

std::string_view IniDocument::eolStyle() const
{
    for (const auto& l : m_lines)
        if (terminated(l))
            return {m_text.data() + l.begin + l.length, l.eolLength};
    return "\n";
}

std::vector<std::string> IniDocument::SectionNames() const
{
    std::vector<std::string> names;
    names.reserve(m_sections.size());
    for (const auto& s : m_sections)
        names.emplace_back(name(m_lines[s.header]));
    return names;
}

std::optional<std::string_view> IniDocument::Find(std::string_view section, std::string_view key) const
{
    const Section* s = findSection(section);
    if (s == nullptr)
        return std::nullopt;
    const std::string_view k = trimmed(key);
    for (std::size_t i = s->header + 1; i < s->end; ++i) {
        const Line& l = m_lines[i];
        if (l.kind == Kind::Entry && sameName(name(l), k))
            return value(l);
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> IniDocument::SectionLines(std::string_view section) const
{
    const Section* s = findSection(section);
    if (s == nullptr)
        return std::nullopt;
    std::vector<std::string> lines;
    for (std::size_t i = s->header + 1; i < s->end; ++i) {
        const Line& l = m_lines[i];
        if (l.kind != Kind::Entry)
            continue;
        const std::string_view c = content(l);
        if (c.find('=') == std::string_view::npos)
            lines.emplace_back(name(l));
        else
            lines.push_back(std::string(name(l)) + "=" + std::string(value(l)));
    }
    return lines;
}

std::optional<std::string> IniDocument::ApplyWrite(const char* section, const char* key, const char* value) const
{
    if (section == nullptr)
        return std::nullopt;
    const Section* s = findSection(section);
    const std::string_view eol = eolStyle();
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::vector<bool> removed(m_lines.size(), false);
    std::size_t replaceAt = none;
    std::string replacement;
    std::size_t insertAfter = none;
    std::string appended; // new text at the end of the file

    if (key == nullptr) {
        if (s == nullptr)
            return std::nullopt;
        for (std::size_t i = s->header; i < s->end; ++i)
            removed[i] = true;
    } else if (value == nullptr) {
        if (s == nullptr)
            return std::nullopt;
        bool any = false;
        for (std::size_t i = s->header + 1; i < s->end; ++i) {
            const Line& l = m_lines[i];
            if (l.kind == Kind::Entry && sameName(name(l), trimmed(key)))
                removed[i] = any = true;
        }
        if (!any)
            return std::nullopt;
    } else if (s != nullptr) {
        std::size_t lastEntry = s->header;
        for (std::size_t i = s->header + 1; i < s->end; ++i) {
            const Line& l = m_lines[i];
            if (l.kind != Kind::Entry)
                continue;
            if (sameName(name(l), trimmed(key))) {
                replaceAt = i;
                replacement.assign(m_text, l.begin, l.nameBegin + l.nameLength - l.begin);
                replacement += '=';
                replacement += value;
                if (replacement == content(l))
                    return std::nullopt;
                break;
            }
            lastEntry = i;
        }
        if (replaceAt == none)
            insertAfter = lastEntry;
    } else {
        if (!m_lines.empty()) {
            if (!terminated(m_lines.back()))
                appended += m_lines.back().eolLength != 0 ? std::string_view("\n") : eol;
            if (m_lines.back().kind != Kind::Blank)
                appended += eol;
        }
        appended += '[';
        appended += section;
        appended += ']';
        appended += eol;
    }

    std::string out;
    out.reserve(m_text.size() + appended.size() + 64);
    out.append(m_text, 0, m_bomLength);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const Line& l = m_lines[i];
        if (removed[i])
            continue;
        if (i == replaceAt)
            out += replacement;
        else
            out += content(l);
        out.append(m_text, l.begin + l.length, l.eolLength);
        if (i == insertAfter) {
            // A last line ending in a lone CR is completed to CR LF.
            if (!terminated(l))
                out += l.eolLength != 0 ? std::string_view("\n") : eol;
            out += key;
            out += '=';
            out += value;
            out += eol;
        }
    }
    if (s == nullptr && key != nullptr && value != nullptr) {
        out += appended;
        out += key;
        out += '=';
        out += value;
        out += eol;
    }
    return out;
}

DWORD GetPrivateProfileString(const char* section, const char* key, const char* def,
                              std::string& out, DWORD nSize, const std::string& file)
{
    out.clear();
    if (section == nullptr || key == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    std::string_view result;
    std::optional<std::string_view> found;
    const auto doc = loadForRead(file);
    if (doc)
        found = doc->Find(section, key);
    if (found) {
        result = StripIniQuotes(*found);
        SetLastError(kErrorSuccess);
    } else {
        result = def == nullptr ? std::string_view() : std::string_view(def);
        while (!result.empty() && result.back() == ' ')
            result.remove_suffix(1);
        if (doc)
            SetLastError(kErrorFileNotFound);
    }
    if (nSize == 0)
        return 0;
    const std::string_view cut = Utf8Left(result, nSize - 1);
    out.assign(cut);
    return static_cast<DWORD>(Utf8Length(cut));
}

UINT GetPrivateProfileInt(const char* section, const char* key, int def, const std::string& file)
{
    if (section == nullptr || key == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return static_cast<UINT>(def);
    }
    const auto value = IniFind(file, section, key);
    if (!value || value->empty())
        return static_cast<UINT>(def);
    return static_cast<UINT>(StrToInt(*value));
}

std::optional<std::string> IniFind(const std::string& file, const char* section, const char* key)
{
    if (section == nullptr || key == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return std::nullopt;
    }
    const auto doc = loadForRead(file);
    if (!doc)
        return std::nullopt;
    const auto found = doc->Find(section, key);
    if (!found) {
        SetLastError(kErrorFileNotFound);
        return std::nullopt;
    }
    SetLastError(kErrorSuccess);
    return std::string(StripIniQuotes(*found));
}

std::vector<std::string> GetPrivateProfileSectionNames(const std::string& file, DWORD nSize)
{
    const auto doc = loadForRead(file);
    if (!doc)
        return {};
    SetLastError(kErrorSuccess);
    return cutList(doc->SectionNames(), nSize);
}

std::vector<std::string> GetPrivateProfileSection(const char* section, DWORD nSize, const std::string& file)
{
    if (section == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return {};
    }
    const auto doc = loadForRead(file);
    if (!doc)
        return {};
    auto lines = doc->SectionLines(section);
    if (!lines) {
        SetLastError(kErrorFileNotFound);
        return {};
    }
    SetLastError(kErrorSuccess);
    return cutList(std::move(*lines), nSize);
}

BOOL GetPrivateProfileStruct(const char* section, const char* key, void* data, UINT size, const std::string& file)
{
    if (section == nullptr || key == nullptr || (data == nullptr && size != 0))
        return FailWith(kErrorInvalidParameter);
    const auto doc = loadForRead(file);
    const auto found = doc ? doc->Find(section, key) : std::nullopt;
    if (!found)
        return FailWith(kErrorFileNotFound);
    const std::string_view hex = *found;
    if (hex.size() != 2 * (static_cast<std::size_t>(size) + 1))
        return FailWith(kErrorInvalidData);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size) + 1);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int hi = hexDigit(hex[2 * i]);
        const int lo = hexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return FailWith(kErrorInvalidData);
        bytes[i] = static_cast<unsigned char>(hi * 16 + lo);
    }
    unsigned sum = 0;
    for (UINT i = 0; i < size; ++i)
        sum += bytes[i];
    if (static_cast<unsigned char>(sum & 0xFF) != bytes[size])
        return FailWith(kErrorInvalidData);
    if (size != 0)
        std::memcpy(data, bytes.data(), size);
    SetLastError(kErrorSuccess);
    return kTrue;
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const std::string& file)
{
    return writeValue(section, key, value, file);
}

BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* data, UINT size,
                               const std::string& file)
{
    if (data == nullptr)
        return writeValue(section, key, nullptr, file);
    static const char digits[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string hex;
    hex.reserve(2 * (static_cast<std::size_t>(size) + 1));
    unsigned sum = 0;
    for (UINT i = 0; i <= size; ++i) {
        const unsigned char b = i < size ? bytes[i] : static_cast<unsigned char>(sum & 0xFF);
        if (i < size)
            sum += b;
        hex += digits[b >> 4];
        hex += digits[b & 0xF];
    }
    return writeValue(section, key, hex.c_str(), file);
}

} // namespace winapi
