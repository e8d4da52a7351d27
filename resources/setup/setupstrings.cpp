#include "resources/setup/setupstrings.h"

#include <cstddef>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

template <std::size_t N>
const char* find(const StringEntry (&table)[N], int id)
{
    for (const auto& entry : table)
        if (entry.id == id)
            return entry.text;
    return "";
}

} // namespace

namespace kelm_setup::res {

namespace {

// 150 is our own wording: the product's sentence is not known. 152 and 156
// name no operating system here.
constexpr StringEntry kStrings[] = {
    {IDS_NEXT, "Далее"},
    {IDS_BACK, "Назад"},
    {IDS_CANCEL, "Отмена"},
    {IDS_FINISH, "Финиш"},
    {IDS_HELP, "Помощь"},
    {IDS_CAPTION, "Установка приложения %s"},
    {IDS_LICENSE_FILE, "License_agr.txt"},
    {IDS_APP_INI, "App.ini"},
    {IDS_ABORT_QUESTION, "Вы действительно хотите прервать инсталляцию?"},
    {IDS_DELETE_OLD_FOLDER, "Удалить существующую директорию:\r\n%s"},
    {IDS_OLD_FOLDER_DELETED, "Старая директория была удалена:\r\n%s"},
    {IDS_OLD_FOLDER_KEPT, "Старая директория не была удалена:\r\n%s"},
    {IDS_LICENSE_MISSING, "Файл лицензии не найден или поврежден"},
    {IDS_LOG_OPEN_FAILED, "Ошибка при открытии Log-файла."},
    {IDS_CANNOT_CREATE_FOLDER, "Невозможно создать директорию приложения:\r\n%s"},
    {IDS_DSN_FAILED, "Ошибка при настройке источника данных."},
    {IDS_APP_INI_BAD, "Формат файла настроек App.ini некорректен."},
    {IDS_NOT_ADMIN, "Пользователь должен обладать правами администратора."},
    {IDS_SHORTCUTS_FAILED, "Ошибка при создании ярлыков для запуска приложения"},
    {IDS_APP_INI_MISSING, "Не найден файл настроек App.ini."},
    {IDS_COPY_FAILED, "Ошибка при копировании файлов приложения в программную директорию."},
    {IDS_REGISTRY_FAILED, "Ошибка при занесении информации о приложении в реестр."},
    {IDS_NO_CLIENT, "На компьютере не установлена требуемая версия клиентской части платформы Orvo."},
    {IDS_INSTALL_ABORTED, "Инсталляция прервана"},
    {IDS_SUMMARY_FOLDER, "Папка, в которую будет установлена программа:\r\n"},
    {IDS_SUMMARY_GROUP, "Программная группа, создаваемая в меню приложений:\r\n"},
    {IDS_SUMMARY_DSN, "Создаваемые источники данных DSN:\r\n"},
    {IDS_UNINSTALL_FAILED, "Ошибка при деинсталляции установленного приложения."},
    {IDS_ALREADY_INSTALLED, "Это приложение уже установлено. Удалить?"},
    {IDS_INSTALL_CANCELLED, "Отмена инсталляции. Такое приложение уже установлено. Удалите его."},
    {IDS_FILES_DAT_ERROR, "Произошла следующая ошибка работы с фалом Files.dat : "},
};

} // namespace

const char* LoadString(int id) { return find(kStrings, id); }

} // namespace kelm_setup::res

namespace kelm_uninstall::res {

namespace {

constexpr StringEntry kStrings[] = {
    {IDS_FOLDER_FAILED, "Ошибка при удалении программной директории приложения."},
    {IDS_REGISTRY_FAILED, "Ошибка удаления информации о приложении из реестра."},
    {IDS_CONFIRM, "Приложение %s %s будет удалено. Продолжить?"},
    {IDS_APP_INI_FAILED, "Ошибка при чтении файла настроек App.ini."},
    {IDS_GROUP_FAILED, "Ошибка при удалении программной группы приложения."},
    {IDS_NOT_ADMIN, "Пользователь должен обладать правами администратора."},
    {IDS_LOG_OPEN_FAILED, "Ошибка при открытии Log-файла."},
    {IDS_FILES_DAT_ERROR, "Произошла следующая ошибка работы с фалом Files.dat : "},
    // 138 and 139 are our own wording: the "-o:" run deletes nothing but a
    // temporary copy of the program.
    {IDS_NOT_TEMPORARY_COPY,
     "Ключ -o: удаляет только временную копию программы %s во временной папке %s. Файл не удалён: %s"},
    {IDS_TEMPORARY_COPY_DELETED, "Удалена временная копия программы удаления: %s"},
};

} // namespace

const char* LoadString(int id) { return find(kStrings, id); }

} // namespace kelm_uninstall::res
