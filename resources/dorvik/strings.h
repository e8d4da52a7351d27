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

// The text of one identifier; "" when the table has none.
const char* LoadString(int id);
// The English identifier plus the language (0 English, 1 Russian). A text
// that has one form only, such as the program's title, serves both.
const char* LoadString(int id, int language);

} // namespace dorvik::res
