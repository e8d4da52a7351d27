#include "resources/dorvik/strings.h"

namespace dorvik::res {

namespace {

struct StringEntry {
    int id;
    const char* text;
};

// The Russian texts of 61213 to 61219 are our own translations.
constexpr StringEntry kStrings[] = {
    {IDS_APP_TITLE, "Dorvik"},
    {IDS_ERROR, "Error"},
    {IDS_ERROR + 1, "Ошибка"},
    {IDS_PATH_NOT_EXISTS, "Path not exists"},
    {IDS_PATH_NOT_EXISTS + 1, "Путь не существует"},
    {IDS_MESSAGE, "Message"},
    {IDS_MESSAGE + 1, "Сообщение"},
    {IDS_CREATE_FOLDER, "Create this folder ?"},
    {IDS_CREATE_FOLDER + 1, "Создать этот каталог ?"},
    {IDS_CANNOT_CREATE_FOLDER, "Can not create folder !"},
    {IDS_CANNOT_CREATE_FOLDER + 1, "Не удалось создать каталог !"},
    {IDS_REFRESH_DATABASE_INFO, "Refresh Database information ..."},
    {IDS_REFRESH_DATABASE_INFO + 1, "Загрузка информации о базе данных ..."},
};

const StringEntry* Find(int id)
{
    for (const auto& entry : kStrings)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

} // namespace

const char* LoadString(int id)
{
    const StringEntry* entry = Find(id);
    return entry ? entry->text : "";
}

const char* LoadString(int id, int language)
{
    if (language == 1)
        if (const StringEntry* entry = Find(id + 1))
            return entry->text;
    return LoadString(id);
}

} // namespace dorvik::res
