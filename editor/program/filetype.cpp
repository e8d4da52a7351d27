#include "editor/program/filetype.h"

#include <wx/stdpaths.h>
#include <wx/utils.h>

#include "winapi/files.h"

#include <cstdlib>
#include <unistd.h>
#include <fstream>
#include <sstream>
#include <system_error>

namespace tarnwick {

namespace {

constexpr const char* kMimeType = "application/x-kelm-tarnwick-chart";

std::string readAll(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Writes the file when its text differs; true when it was written.
bool writeIfChanged(const std::filesystem::path& file, const std::string& text)
{
    std::error_code ec;
    if (std::filesystem::exists(file, ec) && readAll(file) == text)
        return false;
    std::filesystem::create_directories(file.parent_path(), ec);
    return winapi::AtomicReplaceFile(file.string(), [&text](const std::string& temporary, int) {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        return !out.fail();
    });
}

bool onPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && ::access((std::filesystem::path(folder) / program).c_str(), X_OK) == 0)
            return true;
    return false;
}

} // namespace

bool RegisterChartFileType(const std::filesystem::path& dataHome, const std::string& program)
{
    const std::string mime = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                                         "  <mime-type type=\"") +
                             kMimeType +
                             "\">\n"
                             "    <comment>DiagramAWF Document</comment>\n"
                             "    <glob pattern=\"*.wfa\"/>\n"
                             "  </mime-type>\n"
                             "</mime-info>\n";
    const std::string desktop = "[Desktop Entry]\nType=Application\nName=Kelm Tarnwick\nExec=\"" + program +
                                "\" %f\nMimeType=" + kMimeType + ";\nTerminal=false\nNoDisplay=true\n";
    const bool mimeWritten = writeIfChanged(dataHome / "mime" / "packages" / "kelm-tarnwick.xml", mime);
    const bool desktopWritten = writeIfChanged(dataHome / "applications" / "kelm-tarnwick.desktop", desktop);
    if (mimeWritten && onPath("update-mime-database"))
        wxExecute(wxString::FromUTF8("update-mime-database \"" + (dataHome / "mime").string() + "\""),
                  wxEXEC_SYNC | wxEXEC_HIDE_CONSOLE);
    if (desktopWritten && onPath("update-desktop-database"))
        wxExecute(wxString::FromUTF8("update-desktop-database \"" + (dataHome / "applications").string() + "\""),
                  wxEXEC_SYNC | wxEXEC_HIDE_CONSOLE);
    return mimeWritten || desktopWritten;
}

void RegisterChartFileType()
{
    std::filesystem::path dataHome;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        dataHome = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        dataHome = std::filesystem::path(home) / ".local" / "share";
    else
        return;
    try {
        RegisterChartFileType(dataHome, wxStandardPaths::Get().GetExecutablePath().utf8_string());
    } catch (const std::exception&) {
    }
}

} // namespace tarnwick
