#include "editor/app/core/defprop.h"

#include "editor/app/core/settingspath.h"

#include "afx/archive.h"
#include "afx/file.h"
#include "diagram/odproperty.h"
#include "winapi/files.h"

#include <system_error>

namespace tarnwick {

std::filesystem::path DefaultPropertiesPath()
{
    return SettingsFilePath().parent_path() / "defprop.dat";
}

void SaveDefaultPropertiesFile(const std::filesystem::path& file, CODPropertySet& set)
{
    try {
        std::filesystem::create_directories(file.parent_path());
        winapi::AtomicReplaceFile(file.string(), [&set](const std::string& temporary, int) {
            CFile out(temporary, CFile::modeCreate | CFile::modeWrite);
            CArchive ar(&out, CArchive::store);
            ar << static_cast<std::int32_t>(set.GetCount());
            for (int i = 0; i < set.GetCount(); ++i)
                set.GetAt(i)->Serialize(ar);
            ar.Close();
            out.Close();
            return true;
        });
    } catch (const std::exception&) {
        // Not saved: the old file stays as it was.
    }
}

void LoadDefaultPropertiesFile(const std::filesystem::path& file, CODPropertySet& set)
{
    std::error_code missing;
    if (!std::filesystem::is_regular_file(file, missing))
        return;
    try {
        CFile in(file.string(), CFile::modeRead);
        CArchive ar(&in, CArchive::load);
        std::int32_t count = 0;
        ar >> count;
        if (count != set.GetCount())
            return;
        CODPropertySet copy(set);
        for (int i = 0; i < copy.GetCount(); ++i)
            copy.GetAt(i)->Serialize(ar);
        set = std::move(copy);
    } catch (const std::exception&) {
        // A damaged file leaves the defaults as they are.
    }
}

} // namespace tarnwick
