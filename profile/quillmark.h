// Quillmark: keeps a host program's settings in an ordered search list of
// INI files (the user's copy, then a copy shared by all users when it
// exists, then one in the program's folder); reads take the first file that
// holds a value, writes go to the user's copy. Also finds or creates the
// special folders below the product's sub-folder.
#pragma once

#include "winapi/types.h"

#include <chrono>
#include <string>
#include <vector>

#define QUILLMARK_API __attribute__((visibility("default")))

// Builds the search list and makes the user's INI file the application
// profile's file. A null or empty sub-folder is derived from the host
// program's product version ("Varnholt Inc/Orvo Server/102820/"); a null or
// empty INI name keeps the profile's file name. 0 when the version or the
// user's folder cannot be had.
QUILLMARK_API BOOL InitQuillmark(const char* subFolder, const char* iniName);

// Valid until the next InitQuillmark.
QUILLMARK_API const char* GetPrivateSubFolder();
QUILLMARK_API const char* GetPrivateINIFileName();
QUILLMARK_API const char* GetCurrentAppPath();
QUILLMARK_API void GetPrivateProfilePaths(std::vector<std::string>& out, bool foldersOnly);

QUILLMARK_API std::string GetPrivateProfileStringQM(const char* section, const char* key, const char* def);
// A stored -1 counts as missing.
QUILLMARK_API UINT GetPrivateProfileIntQM(const char* section, const char* key, int def);
QUILLMARK_API BOOL GetPrivateProfileStructQM(const char* section, const char* key, void* data, UINT size);
// Writes throw std::invalid_argument before InitQuillmark.
QUILLMARK_API BOOL WritePrivateProfileStringQM(const char* section, const char* key, const char* value);
QUILLMARK_API BOOL WritePrivateProfileIntQM(const char* section, const char* key, int value);
QUILLMARK_API BOOL WritePrivateProfileStructQM(const char* section, const char* key, void* data, UINT size);

QUILLMARK_API BOOL IsWinNT();
QUILLMARK_API std::string GetWindowsFolderPath();
// Folder paths end with '/'; `out` is empty when the folder cannot be named.
QUILLMARK_API bool GetSpecialFolderPath(int csidl, std::string& out);
QUILLMARK_API BOOL GetUserAppDataFolderPath(std::string& out);
QUILLMARK_API BOOL GetUserDocumentFolderPath(std::string& out);
QUILLMARK_API BOOL GetUserSubFolderPath(const char* sub, std::string& out);
QUILLMARK_API BOOL GetAllUserAppDataFolderPath(std::string& out, bool create);
QUILLMARK_API BOOL GetAllUserDocumentFolderPath(std::string& out, bool create);
QUILLMARK_API BOOL GetAllUserSubFolderPath(const char* sub, std::string& out, bool create);
QUILLMARK_API std::string GetTEMPFolderPath();

// Creates every missing folder of an absolute path; 0 for a relative path,
// a path of 260 characters or more, a component of 256 or more, or one
// holding ':', '<', '>' or '|' (then nothing is created).
QUILLMARK_API BOOL CreateFullPath(const char* path);
QUILLMARK_API BOOL IsFullPath(const char* path);
QUILLMARK_API BOOL IsPathExist(const char* path);
QUILLMARK_API BOOL IsFileExist(const char* path);
QUILLMARK_API const char* GetFilePath(const char* path, std::string& out);
QUILLMARK_API BOOL IsFilePathExist(const char* path);

// The library's build date, local midnight; the epoch when it cannot be read.
QUILLMARK_API std::chrono::system_clock::time_point GetLastCompileDate();
