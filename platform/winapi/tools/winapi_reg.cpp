// winapi-reg: sets, reads, deletes and lists registry keys and values of the
// suite's file-backed registry, for kits and tests (the client part's
// Path_Ver is written by an installation outside the suite).
#include "winapi/errors.h"
#include "winapi/settings/registry.h"
#include "winapi/text.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

using namespace winapi;

namespace {

int usage()
{
    std::cerr << "usage: winapi-reg set ROOT KEY NAME [sz|expand_sz|dword] VALUE\n"
                 "       winapi-reg query ROOT KEY [NAME]\n"
                 "       winapi-reg delete ROOT KEY [NAME]\n"
                 "       winapi-reg dump ROOT [KEY]\n"
                 "ROOT is HKLM or HKCU; KEY components are separated by '\\'.\n";
    return 2;
}

bool parseRoot(const std::string& text, HKEY& root)
{
    std::string upper = Utf8Upper(text);
    if (upper == "HKLM" || upper == "HKEY_LOCAL_MACHINE")
        root = HKEY_LOCAL_MACHINE;
    else if (upper == "HKCU" || upper == "HKEY_CURRENT_USER")
        root = HKEY_CURRENT_USER;
    else
        return false;
    return true;
}

int fail(LONG rc, const std::string& what)
{
    std::cerr << "winapi-reg: " << what << ": " << FormatMessage(static_cast<DWORD>(rc)) << " (" << rc << ")\n";
    return rc == kErrorFileNotFound ? 1 : 2;
}

std::string show(const RegValue& value)
{
    std::string text(value.data.begin(), value.data.end());
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        if (!text.empty() && text.back() == '\0')
            text.pop_back();
        return (value.type == REG_SZ ? "REG_SZ " : "REG_EXPAND_SZ ") + text;
    case REG_DWORD:
        if (value.data.size() == 4)
            return "REG_DWORD " + std::to_string(value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                                                 static_cast<DWORD>(value.data[3]) << 24);
        [[fallthrough]];
    default: {
        std::string hex = "REG_BINARY";
        char buf[4];
        for (BYTE b : value.data) {
            std::snprintf(buf, sizeof buf, " %02x", b);
            hex += buf;
        }
        return hex;
    }
    }
}

void dump(HKEY root, const std::string& path)
{
    if (!path.empty()) {
        std::cout << "[" << path << "]\n";
        for (const auto& value : RegEnumValues(root, path))
            std::cout << "  " << (value.name.empty() ? "(default)" : value.name) << " = " << show(value) << "\n";
    }
    for (const auto& child : RegEnumKeys(root, path))
        dump(root, path.empty() ? child : path + "\\" + child);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    std::string command = argv[1];
    HKEY root;
    if (!parseRoot(argv[2], root))
        return usage();
    if (command == "dump") {
        dump(root, argc > 3 ? argv[3] : "");
        return 0;
    }
    if (argc < 4)
        return usage();
    std::string keyPath = argv[3];
    if (command == "set") {
        if (argc != 6 && argc != 7)
            return usage();
        std::string name = argv[4];
        std::string type = argc == 7 ? Utf8Lower(argv[5]) : "sz";
        std::string value = argv[argc - 1];
        RegKey key;
        LONG rc = RegCreateKeyEx(root, keyPath, KEY_READ | KEY_SET_VALUE, key);
        if (rc != kErrorSuccess)
            return fail(rc, keyPath);
        if (type == "sz" || type == "reg_sz") {
            rc = RegSetString(key, name.c_str(), value);
        } else if (type == "expand_sz" || type == "reg_expand_sz") {
            rc = RegSetValueEx(key, name.c_str(), REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
        } else if (type == "dword" || type == "reg_dword") {
            char* end = nullptr;
            unsigned long number = std::strtoul(value.c_str(), &end, 0);
            if (value.empty() || *end)
                return usage();
            rc = RegSetDword(key, name.c_str(), static_cast<DWORD>(number));
        } else {
            return usage();
        }
        return rc == kErrorSuccess ? 0 : fail(rc, keyPath + "\\" + name);
    }
    if (command == "query") {
        RegKey key;
        LONG rc = RegOpenKeyEx(root, keyPath, KEY_READ, key);
        if (rc != kErrorSuccess)
            return fail(rc, keyPath);
        if (argc < 5) {
            dump(root, key.Path());
            return 0;
        }
        for (const auto& value : RegEnumValues(root, keyPath)) {
            if (Utf8EqualNoCase(value.name, argv[4])) {
                std::string shown = show(value);
                // Plain text prints bare, so scripts can take it as it is.
                if (value.type == REG_SZ || value.type == REG_EXPAND_SZ)
                    shown = shown.substr(shown.find(' ') + 1);
                std::cout << shown << "\n";
                return 0;
            }
        }
        return fail(kErrorFileNotFound, keyPath + "\\" + argv[4]);
    }
    if (command == "delete") {
        if (argc < 5) {
            LONG rc = RegDeleteTree(root, keyPath);
            return rc == kErrorSuccess ? 0 : fail(rc, keyPath);
        }
        RegKey key;
        LONG rc = RegOpenKeyEx(root, keyPath, KEY_READ | KEY_SET_VALUE, key);
        if (rc == kErrorSuccess)
            rc = RegDeleteValue(key, argv[4]);
        return rc == kErrorSuccess ? 0 : fail(rc, keyPath + "\\" + argv[4]);
    }
    return usage();
}
