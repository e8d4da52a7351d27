// The editor's profile in a wxFileConfig file under the user's XDG
// configuration folder: <config>/Kelm Tarnwick v<version>/<title>.conf.
#pragma once

#include "editor/app/core/editorcore.h"
#include "editor/app/core/settingspath.h"

#include <filesystem>
#include <memory>

class wxFileConfig;

namespace tarnwick {

class CFileProfileStore : public ISettingsStore {
public:
    explicit CFileProfileStore(const std::filesystem::path& file = SettingsFilePath());
    ~CFileProfileStore() override;

    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& def) override;
    int GetProfileInt(const std::string& section, const std::string& key, int def) override;
    void WriteProfileString(const std::string& section, const std::string& key, const std::string& value) override;
    void WriteProfileInt(const std::string& section, const std::string& key, int value) override;
    // Writes the file; false when it could not be written.
    bool Flush();
    // For what keeps its own keys (the recent-file list); counts as changed.
    wxFileConfig& Config()
    {
        m_dirty = true;
        return *m_config;
    }

private:
    std::filesystem::path m_file;
    std::unique_ptr<wxFileConfig> m_config;
    bool m_dirty = false;
};

} // namespace tarnwick
