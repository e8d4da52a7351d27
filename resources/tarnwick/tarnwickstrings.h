// Tarnwick's string table: the texts the program takes by identifier.
#pragma once

namespace tarnwick::res {

inline constexpr int IDS_OLE_INIT_FAILED = 100;
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_TARNWICKTYPE = 129;
inline constexpr int IDR_DWFTYPE = 130;
inline constexpr int IDS_APP_TITLE = 57344;
inline constexpr int IDS_TREE_UNDEFINED = 1500;
inline constexpr int IDS_TREE_AWF = 1501;
inline constexpr int IDS_TREE_DWF = 1502;
// The document name of diagram kind k is string IDS_DOCUMENT_NAME_BASE + k.
inline constexpr int IDS_DOCUMENT_NAME_BASE = 1510;
// The caption of the name dialog in mode m is string IDS_ADD_STATE_MODE_BASE + m - 1.
inline constexpr int IDS_ADD_STATE_MODE_BASE = 2000;

inline constexpr int ID_OPEN_CONNECTION = 32775;
inline constexpr int ID_CLOSE_CONNECTION = 32776;
inline constexpr int ID_LOAD_FROM_FILE = 32813;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_PRINT_SETUP = 57606;
inline constexpr int ID_APP_EXIT = 57665;

inline constexpr int IDD_LOGIN = 137;
inline constexpr int IDC_DIAGRAM_KIND = 1091;
inline constexpr int IDC_DSN = 1078;
inline constexpr int IDC_PASSWORD = 1002;
inline constexpr int IDC_USER = 1001;

inline constexpr int IDS_ABOUT_LEGAL = 1000;
// The about box's caption for diagram kind k is string IDS_ABOUT_CAPTION_BASE + k.
inline constexpr int IDS_ABOUT_CAPTION_BASE = 1001;

struct StringEntry {
    int id;
    const char* text;
};

inline constexpr StringEntry kStrings[] = {
    {IDS_OLE_INIT_FAILED, "Ошибка инизиализации OLE.  Проверьте версию библиотек OLE."},
    {IDR_TARNWICKTYPE, "Документооборот\nDiagramAWF\nДокументооборот\nДокументооборот (*.wfa)\n.wfa\n"
                       "ATarnwick.Document\nDiagramAWF Document"},
    {IDR_DWFTYPE, "Подразделения\nDiagramDWF\nПодразделения\nПодразделения (*.wfd)\n.wfd\nDTarnwick.Document\n"
                  "DiagramDWF Document"},
    {IDS_APP_TITLE, "Диаграммы"},
    {IDS_TREE_UNDEFINED, "Не определена"},
    {IDS_TREE_AWF, "Документооборот"},
    {IDS_TREE_DWF, "Подразделения"},
    {IDS_DOCUMENT_NAME_BASE, "???"},
    {IDS_DOCUMENT_NAME_BASE + 1, "DiagramAWF"},
    {IDS_DOCUMENT_NAME_BASE + 2, "DiagramDWF"},
    {IDS_ADD_STATE_MODE_BASE, "Переименовать состояние."},
    {IDS_ADD_STATE_MODE_BASE + 1, "Удалить состояние."},
    {IDS_ADD_STATE_MODE_BASE + 2, "Добавить документ."},
    {IDS_ADD_STATE_MODE_BASE + 3, "Переименовать документ."},
    {IDS_ADD_STATE_MODE_BASE + 4, "Удалить документ."},
    {IDS_ADD_STATE_MODE_BASE + 5, "Добавить процесс."},
    {IDS_ADD_STATE_MODE_BASE + 6, "Переименовать процесс."},
    {IDS_ADD_STATE_MODE_BASE + 7, "Удалить процесс."},
    {IDS_ADD_STATE_MODE_BASE + 8, "Добавить состояние."},
    {ID_OPEN_CONNECTION, "Подключение к БД"},
    {ID_CLOSE_CONNECTION, "Отключение от БД"},
    {ID_LOAD_FROM_FILE, "Загрузить диаграмму из файла"},
    // own wording
    {IDS_ABOUT_LEGAL, "Программа защищена законом об авторском праве. Её копирование и распространение без "
                      "разрешения правообладателя запрещены."},
    {IDS_ABOUT_CAPTION_BASE, "О программе Tarnwick"},
    {IDS_ABOUT_CAPTION_BASE + 1, "О программе \"Документооборот\""},
    {IDS_ABOUT_CAPTION_BASE + 2, "О программе \"Подразделения\""},
};

inline const char* LoadString(int id)
{
    for (const auto& entry : kStrings)
        if (entry.id == id)
            return entry.text;
    return "";
}

} // namespace tarnwick::res
