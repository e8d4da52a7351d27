#include "installer/common/utils.h"

#include "installer/common/filemanager.h"

#include "dmo/dmo.h"
#include "winapi/files.h"
#include "winapi/folders.h"
#include "winapi/version.h"
#include "winapi/text.h"

#include <filesystem>
#include <mutex>
#include <set>

namespace dorvik {

int ShowMessage(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& parent, const std::string& text,
                int caption, UINT style)
{
    std::shared_ptr<winapi::PromptOwner> owner = parent && parent->IsWindow() ? parent : nullptr;
    return run.Prompt()->Ask(owner, text, run.Text(caption), style);
}

int ShowMessageId(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& parent, int text, int caption,
                  UINT style)
{
    return ShowMessage(run, parent, run.Text(text), caption, style);
}

bool EnsureFolder(const RunContext& run, const std::shared_ptr<winapi::PromptOwner>& parent, const std::string& path,
                  bool askToCreate)
{
    if (winapi::IsEnterableDirectory(path))
        return true;
    int language = run.Language();
    std::string text = std::string(res::LoadString(res::IDS_PATH_NOT_EXISTS, language)) + "\n" + path + ". ";
    if (!askToCreate) {
        ShowMessage(run, parent, text);
        return false;
    }
    text += "\n";
    text += res::LoadString(res::IDS_CREATE_FOLDER, language);
    if (ShowMessage(run, parent, text, res::IDS_MESSAGE, winapi::MB_YESNO | winapi::MB_ICONQUESTION) != winapi::IDYES)
        return false;
    if (!CreateDirectories(path))
        ShowMessageId(run, parent, res::IDS_CANNOT_CREATE_FOLDER);
    return winapi::IsEnterableDirectory(path);
}

std::string FormatLocalTime(std::time_t when, const char* format)
{
    std::tm tm{};
    if (!localtime_r(&when, &tm))
        return {};
    char buf[128];
    std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
    return std::string(buf, n);
}

std::string GetComputerNameUpper() { return winapi::GetComputerName(); }

void ReplaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + with.size()))
        text.replace(pos, what.size(), with);
}

void RemoveBlanks(std::string& text)
{
    std::erase_if(text, [](char c) {
        auto b = static_cast<unsigned char>(c);
        return b >= 1 && b <= 32;
    });
}

bool EqualIgnoringBlanks(const std::string& a, const std::string& b)
{
    if (a.empty() && b.empty())
        return true;
    std::string x = a, y = b;
    RemoveBlanks(x);
    RemoveBlanks(y);
    return winapi::Utf8EqualNoCase(x, y);
}

void MakeBackupName(const RunContext& run, const std::string& suffix, std::string& name)
{
    static std::mutex mutex;
    static std::set<std::string> made;
    std::string base = FormatLocalTime(run.Now(), "___KELMBACK_%d_%m_%Y__%H_%M_") + suffix;
    std::lock_guard<std::mutex> lock(mutex);
    name = base;
    for (int n = 2; !made.insert(name).second; ++n)
        name = base + "_" + std::to_string(n);
}

bool GetFileVersion(const std::string& path, std::uint32_t* fileMS, std::uint32_t* fileLS,
                    std::uint32_t* productMS, std::uint32_t* productLS)
{
    auto info = winapi::GetFileVersionInfo(path);
    if (!info)
        return false;
    if (fileMS)
        *fileMS = info->FileVersionMS();
    if (fileLS)
        *fileLS = info->FileVersionLS();
    if (productMS)
        *productMS = info->ProductVersionMS();
    if (productLS)
        *productLS = info->ProductVersionLS();
    return true;
}

bool GetSqlDmoPath(std::string& path)
{
    path = dmo::GetModulePath();
    return !path.empty();
}

std::string GetProgramFolder()
{
    return std::filesystem::path(winapi::GetModuleFileName()).parent_path().string();
}

} // namespace dorvik
