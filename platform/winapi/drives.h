// The drives a folder chooser offers: "/" and the mounted file systems that
// hold files (local disks, optical media, network shares), as the system's
// mount table lists them.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace winapi {

enum class DriveType { Fixed, CdRom, Network };

struct DriveInfo {
    std::string mountPoint;
    DriveType type = DriveType::Fixed;
    std::string label;
    std::string source; // the device or share
    dev_t device = 0;
};

// The drives of a mount table in /proc/self/mountinfo's format: one per
// device (bind mounts and repeats dropped), pseudo file systems and
// removable media (under /media and /run/media) left out, "/" always
// there, sorted by mount point. Labels are not filled in.
std::vector<DriveInfo> ParseMountInfo(const std::string& text);

// The drives of this process's mount table, with their volume labels.
std::vector<DriveInfo> ListDrives();

// "<mount point> [<label>]", the label lower-cased with an upper-case first
// letter, at most 99 characters.
std::string DriveItemText(const DriveInfo& drive);

// True when the nearest existing ancestor of `path` lies on a network file
// system, looked up in a mount table (this process's by default).
bool IsNetworkPath(const std::string& path, const std::string& mountInfo);
bool IsNetworkPath(const std::string& path);

} // namespace winapi
