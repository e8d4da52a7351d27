// Dorvik's string table. Texts the user sees come in pairs: the English
// identifier and, next to it, its Russian partner.
#pragma once

namespace dorvik::res {

inline constexpr int IDS_APP_TITLE = 57344;
inline constexpr int IDS_ERROR = 61206;
inline constexpr int IDS_PATH_NOT_EXISTS = 61212;
inline constexpr int IDS_MESSAGE = 61214;
inline constexpr int IDS_CREATE_FOLDER = 61216;
inline constexpr int IDS_CANNOT_CREATE_FOLDER = 61218;
inline constexpr int IDS_REFRESH_DATABASE_INFO = 61358;
inline constexpr int IDS_NOT_ALL_DATA_TRANSFERRED = 61352;
inline constexpr int IDS_REMOVING_FOREIGN_UNIQUE_KEYS = 61360;
inline constexpr int IDS_REMOVING_FOREIGN_KEYS = 61362;
inline constexpr int IDS_REMOVING_PRIMARY_KEYS = 61364;
inline constexpr int IDS_REMOVING_INDEXES = 61366;
inline constexpr int IDS_REMOVING_TRIGGERS = 61368;
inline constexpr int IDS_REMOVING_CHECKS = 61370;
inline constexpr int IDS_UNBINDING_DEFAULTS_RULES = 61372;
inline constexpr int IDS_REMOVING_DEFAULTS = 61374;
inline constexpr int IDS_REMOVING_FULLTEXT = 61413;
inline constexpr int IDS_KIND_TABLE = 61382;
inline constexpr int IDS_KIND_VIEW = 61384;
inline constexpr int IDS_KIND_PROCEDURE = 61386;
inline constexpr int IDS_KIND_FUNCTION = 104;
// Start-up, the main run and its dialogs.
inline constexpr int IDS_Z_PROCEDURE = 102;
inline constexpr int IDS_FILE_NOT_FOUND = 61220;
inline constexpr int IDS_OK = 61268;
inline constexpr int IDS_CANCEL = 61270;
inline constexpr int IDS_HELP = 61276;
inline constexpr int IDS_NEXT = 61278;
inline constexpr int IDS_BACK = 61280;
inline constexpr int IDS_FINISH = 61282;
inline constexpr int IDS_INI_NOT_PRESENT = 61302;
inline constexpr int IDS_ASK_EXIT = 61308;
inline constexpr int IDS_INSTALLATION = 61318;
inline constexpr int IDS_INSTALL_SUCCESS = 61320;
inline constexpr int IDS_INSTALL_FAILED = 61322;
inline constexpr int IDS_LOG_OFFER = 61328;
inline constexpr int IDS_LOG_NOT_PRESENT = 61330;
inline constexpr int IDS_TERMINATING = 61344;
inline constexpr int IDS_CONNECTING = 61346;
inline constexpr int IDS_WINDOW_TITLE = 61376;
inline constexpr int IDS_INSTALL_WARNINGS = 61389;
inline constexpr int IDS_INSTALL_TERMINATED = 61391;
inline constexpr int IDS_PROCESSING_QUERY = 61401;
inline constexpr int IDS_OBJECT_DIALOG = 61403;
inline constexpr int IDS_OBJECT_LIST = 61405;
inline constexpr int IDS_OBJECT_MDI = 61407;
inline constexpr int IDS_OBJECT_PROCEDURE = 61409;
inline constexpr int IDS_OBJECT_MENU = 61411;
inline constexpr int IDS_SERVER_TOO_OLD = 61415;
inline constexpr int IDS_OBJECT_MODULE = 61417;

// The wizard's pages and their dialogs.
inline constexpr int IDS_NOT_ENOUGH_SPACE = 61210;
inline constexpr int IDS_LANGUAGE = 61222;
inline constexpr int IDS_RUSSIAN = 61224;
inline constexpr int IDS_ENGLISH = 61226;
inline constexpr int IDS_SERVER = 61228;
inline constexpr int IDS_USER = 61230;
inline constexpr int IDS_PASSWORD = 61232;
inline constexpr int IDS_NEED = 61238;
inline constexpr int IDS_FREE = 61240;
inline constexpr int IDS_INSTALL_HELP = 61242;
inline constexpr int IDS_LOCATION = 61244;
inline constexpr int IDS_INSTALL_DATABASE = 61246;
inline constexpr int IDS_MAINTENANCE_BUTTON = 61248;
inline constexpr int IDS_SOURCE = 61250;
inline constexpr int IDS_LOAD_BCP = 61252;
inline constexpr int IDS_LOAD_DUMP = 61254;
inline constexpr int IDS_DATA_LOCATION = 61256;
inline constexpr int IDS_LOG_LOCATION = 61258;
inline constexpr int IDS_EXECUTE_PATCH = 61260;
inline constexpr int IDS_DATABASE = 61262;
inline constexpr int IDS_TEMP_LOCATION = 61264;
inline constexpr int IDS_PATCH_LOG_LOCATION = 61266;
inline constexpr int IDS_MAINTENANCE = 61284;
inline constexpr int IDS_DAILY = 61286;
inline constexpr int IDS_DAILY_WHAT = 61288;
inline constexpr int IDS_TIME_TO_RUN = 61290;
inline constexpr int IDS_WEEKLY = 61292;
inline constexpr int IDS_WEEKLY_WHAT = 61294;
inline constexpr int IDS_DAY_OF_WEEK = 61296;
inline constexpr int IDS_BACKUP = 61298;
inline constexpr int IDS_RECONNECT = 61310;
inline constexpr int IDS_CANNOT_CONNECT = 61312;
inline constexpr int IDS_ACCEPT = 61324;
inline constexpr int IDS_TRUSTED = 61326;
inline constexpr int IDS_DECLINE = 61332;
inline constexpr int IDS_NOT_SUPERUSER = 61356;
inline constexpr int IDS_ATTACH = 61393;
inline constexpr int IDS_NO_NETWORK_PATH = 61395;
inline constexpr int IDS_CHOOSE_FOLDER = 61397;
inline constexpr int IDS_REMOTE_SERVER = 61399;

// The text of one identifier; "" when the table has none.
const char* LoadString(int id);
// The English identifier plus the language (0 English, 1 Russian). A text
// that has one form only, such as the program's title, serves both.
const char* LoadString(int id, int language);

} // namespace dorvik::res
