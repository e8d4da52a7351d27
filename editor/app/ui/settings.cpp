#include "editor/app/ui/settings.h"

#include "resources/tarnwick/tarnwickstrings.h"
#include "winapi/files.h"

#include <wx/fileconf.h>
#include <wx/mstream.h>
#include <wx/wfstream.h>

#include <unistd.h>

#include <cerrno>

#include <cstdlib>

namespace tarnwick {

CFileProfileStore::CFileProfileStore(const std::filesystem::path& file) : m_file(file)
{
    wxString name = wxString::FromUTF8(file.string());
    if (std::filesystem::exists(file)) {
        wxFileInputStream in(name);
        m_config = std::make_unique<wxFileConfig>(in, wxConvUTF8);
    } else {
        m_config = std::make_unique<wxFileConfig>(wxString(), wxString(), wxString(), wxString(),
                                                  wxCONFIG_USE_LOCAL_FILE, wxConvUTF8);
    }
}

CFileProfileStore::~CFileProfileStore()
{
    if (m_dirty)
        Flush();
}

namespace {
wxString Key(const std::string& section, const std::string& key)
{
    return "/" + wxString::FromUTF8(section) + "/" + wxString::FromUTF8(key);
}
} // namespace

std::string CFileProfileStore::GetProfileString(const std::string& section, const std::string& key,
                                                const std::string& def)
{
    wxString value;
    if (!m_config->Read(Key(section, key), &value))
        return def;
    return value.utf8_string();
}

int CFileProfileStore::GetProfileInt(const std::string& section, const std::string& key, int def)
{
    long value = def;
    if (!m_config->Read(Key(section, key), &value))
        return def;
    return static_cast<int>(value);
}

void CFileProfileStore::WriteProfileString(const std::string& section, const std::string& key,
                                           const std::string& value)
{
    m_config->Write(Key(section, key), wxString::FromUTF8(value));
    m_dirty = true;
}

void CFileProfileStore::WriteProfileInt(const std::string& section, const std::string& key, int value)
{
    m_config->Write(Key(section, key), static_cast<long>(value));
    m_dirty = true;
}

bool CFileProfileStore::Flush()
{
    std::error_code ec;
    std::filesystem::create_directories(m_file.parent_path(), ec);
    // Replaced as a whole, so a crash never leaves half a file.
    // The text is made first and then written whole, so a short write (a
    // full disk) is seen as a failure.
    wxMemoryOutputStream text;
    if (!m_config->Save(text, wxConvUTF8))
        return false;
    const wxStreamBuffer* buffer = text.GetOutputStreamBuffer();
    const auto* bytes = static_cast<const char*>(buffer->GetBufferStart());
    const std::size_t size = text.GetSize();
    const bool saved = winapi::AtomicReplaceFile(m_file.string(), [&](const std::string&, int fd) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::write(fd, bytes + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    });
    if (!saved)
        return false;
    m_dirty = false;
    return true;
}

} // namespace tarnwick
