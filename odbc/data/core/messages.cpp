#include "odbc/data/core/messages.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_handlerLock;
OrvoMessageHandler g_handler;
// Constant-initialised: the window part may set it before this file's
// dynamic initialisation has run.
std::atomic<OrvoMessageWindow> g_window{nullptr};

bool RussianEnvironment()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return std::strncmp(value, "ru", 2) == 0;
    }
    return false;
}

struct Entry {
    unsigned id;
    const char* english;
    const char* russian;
};

const Entry kStrings[] = {
    {IDS_ERR_MODEL_VERSION,
     "The given version of application can't work with the current version of data model! \r\n Data source: "
     "%s\r\n Current data model: %s\r\n Demanded data model: %s",
     "Данная версия приложения не может работать с текущей версией репозитория!\r\nИсточник данных: "
     "%s!\r\nТекущая версия репозитория: %s\r\nТребуемая версия репозитория: %s "},
    {IDS_ERR_NO_MODEL_VERSION, "There isn't a data model version information!",
     "Отсутствует информация о версии репозитория!"},
    {IDS_ERR_ODBC_DRIVER, "ODBC driver error!\r\n%s", "Ошибка ODBC драйвера!\r\n%s"},
    {IDS_DSN_NAME_COLUMN, "Name", "Наименование"},
    {IDS_DSN_DRIVER_COLUMN, "Driver", "Драйвер"},
    {IDS_LOGIN_WARNING, "Warning", "Предупреждение"},
    {IDS_LOGIN_DSN_MISSING, "DSN - \"%s\" not found!\nSelect DSN from list.",
     "Запрашиваемый DSN - \"%s\" отсутствует!\nВыберите DSN из списка."},
    {IDS_LOGIN_TRUSTED, "Trusted connect", "Аутентификация средствами ОС"},
    {IDS_TREE_REFRESH, "Refresh", "Перечитать данные в окне\nПеречитать данные в окне"},
    {IDS_TREE_SCRIPT_SELECT, "Script Object to &Clipboard As Select", "Script Object to &Clipboard As Select"},
    {IDS_TREE_SCRIPT_INSERT, "Script Object to &Clipboard As Insert", "Script Object to &Clipboard As Insert"},
    {IDS_TREE_SCRIPT_UPDATE, "Script Object to &Clipboard As Update", "Script Object to &Clipboard As Update"},
    {IDS_TREE_SCRIPT_DELETE, "Script Object to &Clipboard As Delete", "Script Object to &Clipboard As Delete"},
    {IDS_TREE_SCRIPT_EXECUTE, "Script Object to &Clipboard As Execute", "Script Object to &Clipboard As Execute "},
};

} // namespace

void SetOrvoMessageHandler(OrvoMessageHandler handler)
{
    std::lock_guard<std::mutex> lock(g_handlerLock);
    g_handler = std::move(handler);
}

void SetOrvoMessageWindow(OrvoMessageWindow window)
{
    g_window.store(window);
}

int OrvoMessageBox(const std::string& text, long style)
{
    return OrvoMessageBox(text, style, std::string());
}

int OrvoMessageBox(const std::string& text, long style, const std::string& caption)
{
    return OrvoMessageBox(text, style, caption, OrvoStringLanguage());
}

int OrvoMessageBox(const std::string& text, long style, const std::string& caption, winapi::UiLanguage language)
{
    OrvoMessageHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_handlerLock);
        handler = g_handler;
    }
    if (handler)
        return handler(text, style);
    int answer = IDOK;
    if (OrvoMessageWindow window = g_window.load(); window != nullptr && window(text, style, caption, language, answer))
        return answer;
    std::fprintf(stderr, "%s\n", text.c_str());
    return IDOK;
}

winapi::UiLanguage OrvoStringLanguage()
{
    return RussianEnvironment() ? winapi::UiLanguage::Russian : winapi::UiLanguage::English;
}

std::string LoadOrvoString(unsigned id)
{
    bool russian = OrvoStringLanguage() == winapi::UiLanguage::Russian;
    for (const Entry& e : kStrings)
        if (e.id == id)
            return russian ? e.russian : e.english;
    return std::string();
}

std::string FormatOrvoString(unsigned id, const std::vector<std::string>& args)
{
    std::string pattern = LoadOrvoString(id);
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            if (next < args.size())
                out += args[next];
            ++next;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}
