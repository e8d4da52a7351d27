#include "winapi/drives.h"

#include "winapi/text.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>

namespace winapi {

namespace {

std::optional<DriveType> typeOf(const std::string& fs)
{
    static const std::set<std::string> fixed = {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "zfs",
                                                "vfat", "exfat", "ntfs3", "ntfs", "jfs", "reiserfs"};
    static const std::set<std::string> cd = {"iso9660", "udf"};
    static const std::set<std::string> network = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "9p",
                                                  "ceph", "glusterfs", "fuse.sshfs", "sshfs"};
    if (fixed.count(fs))
        return DriveType::Fixed;
    if (cd.count(fs))
        return DriveType::CdRom;
    if (network.count(fs))
        return DriveType::Network;
    return std::nullopt;
}

// Mount points escape blanks, tabs, line breaks and backslashes as \ooo.
std::string unescapeOctal(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>(std::strtol(digits.c_str(), nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// Labels under /dev/disk/by-label escape bytes as \xNN.
std::string unescapeHex(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int hi = i + 3 < text.size() ? HexDigitValue(text[i + 2]) : -1;
        const int lo = i + 3 < text.size() ? HexDigitValue(text[i + 3]) : -1;
        if (text.compare(i, 2, "\\x") == 0 && hi >= 0 && lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 3;
            continue;
        }
        out += text[i];
    }
    return out;
}

struct MountLine {
    dev_t device;
    std::string mountPoint, fs, source;
};

std::vector<MountLine> parseLines(const std::string& text)
{
    std::vector<MountLine> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, majorMinor, root, mountPoint, options, word;
        if (!(fields >> id >> parent >> majorMinor >> root >> mountPoint >> options))
            continue;
        while (fields >> word && word != "-") {
        }
        MountLine m;
        if (word != "-" || !(fields >> m.fs))
            continue;
        fields >> m.source;
        auto colon = majorMinor.find(':');
        if (colon == std::string::npos)
            continue;
        m.device = makedev(std::strtoul(majorMinor.c_str(), nullptr, 10),
                           std::strtoul(majorMinor.c_str() + colon + 1, nullptr, 10));
        m.mountPoint = unescapeOctal(mountPoint);
        m.source = unescapeOctal(m.source);
        lines.push_back(std::move(m));
    }
    return lines;
}

bool removable(const std::string& mountPoint)
{
    for (const char* root : {"/media/", "/run/media/"})
        if (mountPoint.compare(0, std::char_traits<char>::length(root), root) == 0)
            return true;
    return false;
}

std::string readMountInfo()
{
    std::ifstream in("/proc/self/mountinfo");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string labelOf(const std::string& source)
{
    std::error_code ec;
    if (source.empty() || source[0] != '/')
        return {};
    auto device = std::filesystem::canonical(source, ec);
    if (ec)
        return {};
    for (std::filesystem::directory_iterator it("/dev/disk/by-label", ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (std::filesystem::canonical(it->path(), ec2) == device && !ec2)
            return unescapeHex(it->path().filename().string());
    }
    return {};
}

} // namespace

std::vector<DriveInfo> ParseMountInfo(const std::string& text)
{
    std::vector<DriveInfo> drives;
    std::set<dev_t> seen;
    bool root = false;
    for (const MountLine& m : parseLines(text)) {
        if (m.mountPoint == "/" && !root) {
            // The root is always a drive, whatever holds it.
            root = true;
            seen.insert(m.device);
            drives.push_back({"/", typeOf(m.fs).value_or(DriveType::Fixed), {}, m.source, m.device});
            continue;
        }
        auto type = typeOf(m.fs);
        if (!type || removable(m.mountPoint) || seen.count(m.device))
            continue;
        seen.insert(m.device);
        drives.push_back({m.mountPoint, *type, {}, m.source, m.device});
    }
    if (!root)
        drives.push_back({"/", DriveType::Fixed, {}, {}, 0});
    std::sort(drives.begin(), drives.end(),
              [](const DriveInfo& a, const DriveInfo& b) { return a.mountPoint < b.mountPoint; });
    return drives;
}

std::vector<DriveInfo> ListDrives()
{
    std::vector<DriveInfo> drives = ParseMountInfo(readMountInfo());
    for (DriveInfo& drive : drives)
        if (drive.type != DriveType::Network)
            drive.label = labelOf(drive.source);
    return drives;
}

std::string DriveItemText(const DriveInfo& drive)
{
    std::string label = Utf8Lower(drive.label);
    if (!label.empty()) {
        const std::size_t first = Utf8Left(label, 1).size();
        label = Utf8Upper(label.substr(0, first)) + label.substr(first);
    }
    return std::string(Utf8Left(drive.mountPoint + " [" + label + "]", 99));
}

bool IsNetworkPath(const std::string& path, const std::string& mountInfo)
{
    if (path.empty() || path[0] != '/')
        return false;
    std::string existing = path;
    struct stat st {};
    while (::stat(existing.c_str(), &st) != 0) {
        if (existing == "/")
            return false;
        auto slash = existing.find_last_of('/');
        existing = slash == 0 ? "/" : existing.substr(0, slash);
    }
    for (const MountLine& m : parseLines(mountInfo))
        if (m.device == st.st_dev)
            return typeOf(m.fs) == DriveType::Network;
    return false;
}

bool IsNetworkPath(const std::string& path) { return IsNetworkPath(path, readMountInfo()); }

} // namespace winapi
