#include "resources/dorvik/dorvikstrings.h"

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
    {IDS_NOT_ALL_DATA_TRANSFERRED,
     "Not all user data was transferred to new structures.\nOld tables was renamed and saved in database. "
     "View log-file.\nPlease contact developers."},
    {IDS_NOT_ALL_DATA_TRANSFERRED + 1,
     "Не все пользовательские данные удалось перенести в новые структуры.\nСтарые таблицы переименованы и "
     "сохранены в БД. Смотрите log-файл.\nОбратитесь за консультацией к разработчикам."},
    {IDS_REMOVING_FOREIGN_UNIQUE_KEYS, "removing foreign and unique keys ..."},
    {IDS_REMOVING_FOREIGN_UNIQUE_KEYS + 1, "удаление внешних и уникальных ключей ..."},
    {IDS_REMOVING_FOREIGN_KEYS, "removing foreign keys ..."},
    {IDS_REMOVING_FOREIGN_KEYS + 1, "удаление внешних ключей ..."},
    {IDS_REMOVING_PRIMARY_KEYS, "removing primary keys ..."},
    {IDS_REMOVING_PRIMARY_KEYS + 1, "удаление первичных ключей ..."},
    {IDS_REMOVING_INDEXES, "removing  indexes ..."},
    {IDS_REMOVING_INDEXES + 1, "удаление индексов ..."},
    {IDS_REMOVING_TRIGGERS, "removing  triggers ..."},
    {IDS_REMOVING_TRIGGERS + 1, "удаление триггеров ..."},
    {IDS_REMOVING_CHECKS, "removing checks ..."},
    {IDS_REMOVING_CHECKS + 1, "удаление ограничений ..."},
    {IDS_UNBINDING_DEFAULTS_RULES, "unbinding named defaults and rules ..."},
    {IDS_UNBINDING_DEFAULTS_RULES + 1, "открепление поименованных значений по умолчанию и правил ..."},
    {IDS_REMOVING_DEFAULTS, "removing defaults ..."},
    {IDS_REMOVING_DEFAULTS + 1, "удаление значений по умолчанию ..."},
    {IDS_REMOVING_FULLTEXT, "removing fulltext catalogs..."},
    {IDS_REMOVING_FULLTEXT + 1, "удаление полнотекстовых каталогов..."},
    {IDS_KIND_TABLE, "Table"},
    {IDS_KIND_TABLE + 1, "Таблица"},
    {IDS_KIND_VIEW, "View"},
    {IDS_KIND_VIEW + 1, "Вид"},
    {IDS_KIND_PROCEDURE, "Stored prosedure"},
    {IDS_KIND_PROCEDURE + 1, "Хранимая процедура"},
    {IDS_KIND_FUNCTION, "User Defined Function"},
    {IDS_KIND_FUNCTION + 1, "Функция определенная пользователем"},
    // From here to the end of this block every Russian text is our own
    // translation, to be replaced by the original's where it is known;
    // 61415 names PostgreSQL in both languages.
    {IDS_Z_PROCEDURE, "Z-Procedure"},
    {IDS_Z_PROCEDURE + 1, "Z-процедура"},
    {IDS_FILE_NOT_FOUND, "File not found or corrupted"},
    {IDS_FILE_NOT_FOUND + 1, "Файл не найден или повреждён"},
    {IDS_OK, "OK"},
    {IDS_OK + 1, "OK"},
    {IDS_CANCEL, "Cancel"},
    {IDS_CANCEL + 1, "Отказ"},
    {IDS_HELP, "Help"},
    {IDS_HELP + 1, "Справка"},
    {IDS_NEXT, "Next >"},
    {IDS_NEXT + 1, "Далее >"},
    {IDS_BACK, "< Back"},
    {IDS_BACK + 1, "< Назад"},
    {IDS_FINISH, "Finish"},
    {IDS_FINISH + 1, "Готово"},
    {IDS_INI_NOT_PRESENT, "Ini - file not present !"},
    {IDS_INI_NOT_PRESENT + 1, "Ini - файл отсутствует !"},
    {IDS_ASK_EXIT, "Do you want exit from Installer ?"},
    {IDS_ASK_EXIT + 1, "Вы хотите выйти из программы установки ?"},
    {IDS_INSTALLATION, "Installation ..."},
    {IDS_INSTALLATION + 1, "Установка ..."},
    {IDS_INSTALL_SUCCESS, "The application was successfully installed !"},
    {IDS_INSTALL_SUCCESS + 1, "Приложение успешно установлено !"},
    {IDS_INSTALL_FAILED, "Installation failed !"},
    {IDS_INSTALL_FAILED + 1, "Установка завершилась неудачно !"},
    {IDS_LOG_OFFER, "Log-file is %s.\nDo you want to view it now ?"},
    {IDS_LOG_OFFER + 1, "Файл протокола : %s.\nПросмотреть его сейчас ?"},
    {IDS_LOG_NOT_PRESENT, "Log-file not present !"},
    {IDS_LOG_NOT_PRESENT + 1, "Файл протокола отсутствует !"},
    {IDS_TERMINATING, "Programm is terminating. Please wait ..."},
    {IDS_TERMINATING + 1, "Программа завершает работу. Подождите ..."},
    {IDS_CONNECTING, "Connecting. Please wait ..."},
    {IDS_CONNECTING + 1, "Соединение. Подождите ..."},
    {IDS_WINDOW_TITLE, "Database Installer"},
    {IDS_WINDOW_TITLE + 1, "Установка базы данных"},
    {IDS_INSTALL_WARNINGS, "The application was successfully installed.\nThere was insignificant errors occures while "
                           "installing. Please view log-file."},
    {IDS_INSTALL_WARNINGS + 1, "Приложение установлено.\nПри установке были несущественные ошибки: найдите в "
                               "файле протокола слово WARNING."},
    {IDS_INSTALL_TERMINATED, "Installation was terminated by user !\nThe applicatin was not properly installed."},
    {IDS_INSTALL_TERMINATED + 1, "Установка прервана пользователем !\nПриложение установлено не полностью."},
    {IDS_PROCESSING_QUERY, "Processing query ..."},
    {IDS_PROCESSING_QUERY + 1, "Выполнение запроса ..."},
    {IDS_OBJECT_DIALOG, "Dialog"},
    {IDS_OBJECT_DIALOG + 1, "Диалог"},
    {IDS_OBJECT_LIST, "List"},
    {IDS_OBJECT_LIST + 1, "Список"},
    {IDS_OBJECT_MDI, "MDI window"},
    {IDS_OBJECT_MDI + 1, "MDI окно"},
    {IDS_OBJECT_PROCEDURE, "Procedure"},
    {IDS_OBJECT_PROCEDURE + 1, "Процедура"},
    {IDS_OBJECT_MENU, "Menu"},
    {IDS_OBJECT_MENU + 1, "Меню"},
    {IDS_SERVER_TOO_OLD, "This program requires PostgreSQL 15 or higher!"},
    {IDS_SERVER_TOO_OLD + 1, "Программе нужен PostgreSQL 15 или новее!"},
    {IDS_OBJECT_MODULE, "Module"},
    {IDS_OBJECT_MODULE + 1, "Модуль"},
    // The wizard's pages and dialogs. Russian texts of 61210, 61310, 61312,
    // 61356, 61395, 61397 and 61399 are our own, to be replaced by the
    // original's where it is known; 61312, 61356 and 61399 name PostgreSQL.
    {IDS_NOT_ENOUGH_SPACE, "Not enough space on disk"},
    {IDS_NOT_ENOUGH_SPACE + 1, "Недостаточно места на диске"},
    {IDS_LANGUAGE, "Language"},
    {IDS_LANGUAGE + 1, "Язык интерфейса"},
    {IDS_RUSSIAN, "Russian"},
    {IDS_RUSSIAN + 1, "Русский"},
    {IDS_ENGLISH, "English"},
    {IDS_ENGLISH + 1, "English"},
    {IDS_SERVER, "Server :"},
    {IDS_SERVER + 1, "Сервер :"},
    {IDS_USER, "User :"},
    {IDS_USER + 1, "Пользователь :"},
    {IDS_PASSWORD, "Password :"},
    {IDS_PASSWORD + 1, "Пароль :"},
    {IDS_NEED, "Need :"},
    {IDS_NEED + 1, "Необходимо :"},
    {IDS_FREE, "Free :"},
    {IDS_FREE + 1, "Доступно :"},
    {IDS_INSTALL_HELP, "Install HELP"},
    {IDS_INSTALL_HELP + 1, "Провести установку"},
    {IDS_LOCATION, "Location"},
    {IDS_LOCATION + 1, "Размещение"},
    {IDS_INSTALL_DATABASE, "Install Database"},
    {IDS_INSTALL_DATABASE + 1, "Установить БД"},
    {IDS_MAINTENANCE_BUTTON, "Database maintenance ..."},
    {IDS_MAINTENANCE_BUTTON + 1, "Обслуживание БД ..."},
    {IDS_SOURCE, "Source"},
    {IDS_SOURCE + 1, "Источник данных"},
    {IDS_LOAD_BCP, "Load from BCP"},
    {IDS_LOAD_BCP + 1, "Загрузка из BCP"},
    {IDS_LOAD_DUMP, "Load from DUMP"},
    {IDS_LOAD_DUMP + 1, "Загрузка из DUMP"},
    {IDS_DATA_LOCATION, "Database file location"},
    {IDS_DATA_LOCATION + 1, "Размещение файла данных"},
    {IDS_LOG_LOCATION, "Transaction Log location"},
    {IDS_LOG_LOCATION + 1, "Размещение журнала транзакций"},
    {IDS_EXECUTE_PATCH, "Execute PATCH"},
    {IDS_EXECUTE_PATCH + 1, "Провести обновление"},
    {IDS_DATABASE, "Database :"},
    {IDS_DATABASE + 1, "База данных :"},
    {IDS_TEMP_LOCATION, "Temporary Database location"},
    {IDS_TEMP_LOCATION + 1, "Размещение временной БД"},
    {IDS_PATCH_LOG_LOCATION, "Transaction Log location"},
    {IDS_PATCH_LOG_LOCATION + 1, "Размещение журнала транзакций"},
    {IDS_MAINTENANCE, "Database maintenance"},
    {IDS_MAINTENANCE + 1, "Обслуживание БД"},
    {IDS_DAILY, "Daily service"},
    {IDS_DAILY + 1, "Ежедневное обслуживание"},
    {IDS_DAILY_WHAT, "Database test and LOG backup"},
    {IDS_DAILY_WHAT + 1, "Проверка БД и архивирование LOG файла"},
    {IDS_TIME_TO_RUN, "Time to run:"},
    {IDS_TIME_TO_RUN + 1, "Время запуска задачи :"},
    {IDS_WEEKLY, "Weekly service"},
    {IDS_WEEKLY + 1, "Еженедельное обслуживание"},
    {IDS_WEEKLY_WHAT, "Backup and reindex Database"},
    {IDS_WEEKLY_WHAT + 1, "Архивирование всех файлов БД и переиндексация"},
    {IDS_DAY_OF_WEEK, "Day of the week :"},
    {IDS_DAY_OF_WEEK + 1, "День недели :"},
    {IDS_BACKUP, "Backup :"},
    {IDS_BACKUP + 1, "Архив БД :"},
    {IDS_RECONNECT, "Connection already has been established.\nDo You want reconnect with new parameters ?"},
    {IDS_RECONNECT + 1, "Соединение уже установлено.\nПереподключиться с новыми параметрами ?"},
    {IDS_CANNOT_CONNECT, "Can not connect to the PostgreSQL server !\nPlease check that the service is running or try "
                         "change parameters."},
    {IDS_CANNOT_CONNECT + 1, "Не удалось соединиться с сервером PostgreSQL !\nПроверьте, что служба запущена, или "
                             "измените параметры."},
    {IDS_ACCEPT, "YES, (I affirm)"},
    {IDS_ACCEPT + 1, "ДА, подтверждаю"},
    {IDS_TRUSTED, "Use trusted connection"},
    {IDS_TRUSTED + 1, "Доверительное соединение"},
    {IDS_DECLINE, "NO, (cancel installation)"},
    {IDS_DECLINE + 1, "НЕТ, прервать инсталляцию"},
    {IDS_NOT_SUPERUSER, "You have not superuser rights on the PostgreSQL server !"},
    {IDS_NOT_SUPERUSER + 1, "У вас нет прав суперпользователя на сервере PostgreSQL !"},
    {IDS_ATTACH, "Attach database"},
    {IDS_ATTACH + 1, "Прикрепить файлы"},
    {IDS_NO_NETWORK_PATH, "You can not choose network path !"},
    {IDS_NO_NETWORK_PATH + 1, "Нельзя выбрать сетевой путь !"},
    {IDS_CHOOSE_FOLDER, "Choose folder"},
    {IDS_CHOOSE_FOLDER + 1, "Выбор каталога"},
    {IDS_REMOTE_SERVER, "The programm may work incorrectly on remote instance of the PostgreSQL server. Are you sure "
                        "this instance is local?"},
    {IDS_REMOTE_SERVER + 1, "Программа может работать неправильно с удалённым сервером PostgreSQL. Вы уверены, что "
                            "этот сервер локальный?"},
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
