#include "catalogue/catalogue.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "catalogue/builtin_interfaces.h"
#include "catalogue/request_file_name.h"

namespace {

const char kXmlExtension[] = ".xml";
constexpr size_t kXmlExtensionLength = sizeof kXmlExtension - 1;

std::string WithSlash(const std::string& folder) {
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

bool EndsWithXml(const std::string& name) {
    return name.size() >= kXmlExtensionLength &&
           name.compare(name.size() - kXmlExtensionLength, kXmlExtensionLength, kXmlExtension) == 0;
}

// Walks the entries of `folder` in listing order, "." and ".." skipped, and hands each name
// with its folder flag to `visit`. Entries whose kind cannot be learnt are skipped.
template <typename Visit>
void ForEachEntry(const std::string& folder, Visit visit) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    const std::string prefix = WithSlash(folder);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isFolder;
        if (entry->d_type == DT_DIR) {
            isFolder = true;
        } else if (entry->d_type == DT_REG) {
            isFolder = false;
        } else {
            // Unknown kind or a link: ask for what the name leads to.
            struct stat st;
            if (stat((prefix + name).c_str(), &st) != 0)
                continue;
            isFolder = S_ISDIR(st.st_mode);
        }
        visit(name, isFolder);
    }
    closedir(dir);
}

// Full names (extension kept) of the request files of `folder`.
std::vector<std::string> XmlFileNames(const std::string& folder) {
    std::vector<std::string> names;
    ForEachEntry(folder, [&](const std::string& name, bool isFolder) {
        if (!isFolder && EndsWithXml(name))
            names.push_back(name);
    });
    return names;
}

// The body text of a request file: up to its first NUL; empty when unreadable.
std::string BodyOfFile(const std::string& path) {
    std::string bytes;
    if (!ReadRequestFile(path, bytes))
        return std::string();
    const size_t nul = bytes.find('\0');
    if (nul != std::string::npos)
        bytes.resize(nul);
    return bytes;
}

}  // namespace

std::string ShortRequestFolder(const std::string& programFolder) {
    return programFolder.empty() ? std::string() : programFolder + "/protocol_short";
}

std::string LongRequestFolder(const std::string& programFolder) {
    return programFolder.empty() ? std::string() : programFolder + "/protocol_long";
}

std::string LongRequestFilePath(const std::string& programFolder, const std::string& module,
                                const std::string& name) {
    return LongRequestFolder(programFolder) + "/" + module + "/" + name + kXmlExtension;
}

void Catalogue::Build(int connMode, const std::string& programFolder) {
    m_modules.clear();
    m_interfaces.clear();
    if (connMode == kConnLong) {
        const std::string root = LongRequestFolder(programFolder);
        if (root.empty())
            return;
        for (const std::string& name : ListFolders(root))
            m_modules.push_back({name, kNoModuleId});
        return;
    }
    if (connMode != kConnShort)
        return;

    const std::string root = ShortRequestFolder(programFolder);
    // Folder modules are numbered after the built-in ones, so no two entries share an id.
    int id = kBuiltinModuleCount;
    for (const std::string& folder :
         root.empty() ? std::vector<std::string>() : ListFolders(root)) {
        m_modules.push_back({folder, id});
        const std::string modulePath = root + "/" + folder + "/";
        for (const std::string& file : XmlFileNames(modulePath)) {
            const RequestFileName parts =
                SplitRequestFileName(file.substr(0, file.size() - kXmlExtensionLength));
            m_interfaces.push_back(
                {id, parts.channel, parts.name, parts.pairName, BodyOfFile(modulePath + file)});
        }
        ++id;
    }
    for (int i = 0; i < kBuiltinModuleCount; ++i)
        m_modules.push_back({kBuiltinModuleNames[i], i});
    const std::vector<API_INTERFACE>& builtins = BuiltinInterfaces();
    m_interfaces.insert(m_interfaces.end(), builtins.begin(), builtins.end());
}

std::vector<std::string> Catalogue::ListItems(int connMode, const std::string& programFolder,
                                              const std::string& moduleText, int moduleId) const {
    std::vector<std::string> items;
    if (connMode == kConnLong) {
        // No module chosen must not list protocol_long itself.
        const std::string root = LongRequestFolder(programFolder);
        if (moduleText.empty() || root.empty())
            return items;
        return ListXmlFiles(root + "/" + moduleText + "/");
    }
    if (connMode != kConnShort || moduleId == kNoModuleId)
        return items;
    for (const API_INTERFACE& record : m_interfaces) {
        if (record.nModule == moduleId)
            items.push_back(record.strName);
    }
    return items;
}

const API_INTERFACE* Catalogue::Find(const std::string& name) const {
    for (const API_INTERFACE& record : m_interfaces) {
        if (record.strName == name)
            return &record;
    }
    return nullptr;
}

const API_INTERFACE* Catalogue::FindByPrefix(const std::string& path) const {
    for (const API_INTERFACE& record : m_interfaces) {
        const std::string& name = record.strName;
        if (name.empty() || path.compare(0, name.size(), name) != 0)
            continue;
        if (path.size() == name.size() || path[name.size()] == '/')
            return &record;
    }
    return nullptr;
}

std::vector<std::string> ListFolders(const std::string& folder) {
    std::vector<std::string> names;
    ForEachEntry(folder, [&](const std::string& name, bool isFolder) {
        if (isFolder)
            names.push_back(name);
    });
    return names;
}

std::vector<std::string> ListXmlFiles(const std::string& folder) {
    std::vector<std::string> names = XmlFileNames(folder);
    for (std::string& name : names)
        name.resize(name.size() - kXmlExtensionLength);
    return names;
}

bool ReadRequestFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    // Non-blocking open, so that a pipe without a writer cannot hang the window; only
    // ordinary files are read (a device such as /dev/zero would never end).
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n > 0) {
            bytes.append(chunk, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            close(fd);
            bytes.clear();
            return false;
        }
    }
    close(fd);
    return true;
}
