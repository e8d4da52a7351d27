// The string tables of setup and uninstall. The two programs number their
// texts independently, so each has its own table.
#pragma once

namespace kelm_setup::res {

inline constexpr int IDS_NEXT = 131;
inline constexpr int IDS_BACK = 132;
inline constexpr int IDS_CANCEL = 133;
inline constexpr int IDS_FINISH = 134;
inline constexpr int IDS_HELP = 135;
inline constexpr int IDS_CAPTION = 136;
inline constexpr int IDS_LICENSE_FILE = 137;
inline constexpr int IDS_APP_INI = 138;
inline constexpr int IDS_ABORT_QUESTION = 139;
inline constexpr int IDS_DELETE_OLD_FOLDER = 140;
inline constexpr int IDS_OLD_FOLDER_DELETED = 141;
inline constexpr int IDS_OLD_FOLDER_KEPT = 142;
inline constexpr int IDS_LICENSE_MISSING = 143;
inline constexpr int IDS_LOG_OPEN_FAILED = 144;
inline constexpr int IDS_CANNOT_CREATE_FOLDER = 145;
inline constexpr int IDS_DSN_FAILED = 146;
inline constexpr int IDS_APP_INI_BAD = 147;
inline constexpr int IDS_NOT_ADMIN = 148;
inline constexpr int IDS_SHORTCUTS_FAILED = 149;
inline constexpr int IDS_APP_INI_MISSING = 150;
inline constexpr int IDS_COPY_FAILED = 151;
inline constexpr int IDS_REGISTRY_FAILED = 152;
inline constexpr int IDS_NO_CLIENT = 153;
inline constexpr int IDS_INSTALL_ABORTED = 154;
inline constexpr int IDS_SUMMARY_FOLDER = 155;
inline constexpr int IDS_SUMMARY_GROUP = 156;
inline constexpr int IDS_SUMMARY_DSN = 157;
inline constexpr int IDS_UNINSTALL_FAILED = 158;
inline constexpr int IDS_ALREADY_INSTALLED = 159;
inline constexpr int IDS_INSTALL_CANCELLED = 160;
inline constexpr int IDS_FILES_DAT_ERROR = 161;

// Texts of the wizard's pages.
inline constexpr const char* kLicenseCaption = "Установка приложения %s";
inline constexpr const char* kLicenseRead = "Внимательно прочтите лицензионное соглашение";
inline constexpr const char* kLicenseAccept = "ДА, принимаю";
inline constexpr const char* kLicenseDecline = "НЕТ, прервать инсталляцию";
inline constexpr const char* kPathLabel = "Директории инсталляции ПП:";
inline constexpr const char* kPathChoose = "Выбрать директорию";
inline constexpr const char* kInfoLabel = "Текущие настройки инсталляции:";

// "" when the table has no such text.
const char* LoadString(int id);

} // namespace kelm_setup::res

namespace kelm_uninstall::res {

inline constexpr int IDS_FOLDER_FAILED = 130;
inline constexpr int IDS_REGISTRY_FAILED = 131;
inline constexpr int IDS_CONFIRM = 132;
inline constexpr int IDS_APP_INI_FAILED = 133;
inline constexpr int IDS_GROUP_FAILED = 134;
inline constexpr int IDS_NOT_ADMIN = 135;
inline constexpr int IDS_LOG_OPEN_FAILED = 136;
inline constexpr int IDS_FILES_DAT_ERROR = 137;
inline constexpr int IDS_NOT_TEMPORARY_COPY = 138;
inline constexpr int IDS_TEMPORARY_COPY_DELETED = 139;

inline constexpr const char* kDialogCaption = "Uninstall";

const char* LoadString(int id);

} // namespace kelm_uninstall::res
