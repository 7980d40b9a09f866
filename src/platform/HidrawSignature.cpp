#include "platform/HidrawSignature.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace flashwell {

std::optional<QByteArray> hidrawSignature(const char *classDir)
{
    DIR *dir = ::opendir(classDir);
    if (!dir)
        return std::nullopt;
    std::vector<std::string> entries;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        char target[4096];
        const std::string path = std::string(classDir) + '/' + name;
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
        entries.push_back(name + '\t' + (n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string()));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end()); // readdir order is the file system's, not ours
    QByteArray signature;
    for (const std::string &e : entries)
        signature.append(e.data(), static_cast<qsizetype>(e.size())).append('\n');
    return signature;
}

} // namespace flashwell
