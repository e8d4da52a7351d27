#include "editor/app/core/defprop.h"

#include "editor/app/core/settingspath.h"

#include "afx/archive.h"
#include "afx/file.h"
#include "diagram/odproperty.h"

#include <system_error>

namespace tarnwick {

std::filesystem::path DefaultPropertiesPath()
{
    return SettingsFilePath().parent_path() / "defprop.dat";
}

void SaveDefaultPropertiesFile(const std::filesystem::path& file, CODPropertySet& set)
{
    const std::filesystem::path temporary = file.string() + ".tmp";
    try {
        std::filesystem::create_directories(file.parent_path());
        {
            CFile out(temporary.string(), CFile::modeCreate | CFile::modeWrite);
            CArchive ar(&out, CArchive::store);
            ar << static_cast<std::int32_t>(set.GetCount());
            for (int i = 0; i < set.GetCount(); ++i)
                set.GetAt(i)->Serialize(ar);
            ar.Close();
            out.Close();
        }
        std::filesystem::rename(temporary, file);
    } catch (const std::exception&) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
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
