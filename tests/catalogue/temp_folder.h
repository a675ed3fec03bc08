#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-XXXXXX").string();
        m_path = mkdtemp(pattern.data()) ? pattern : "";
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }
    // Creates `relative` (and its parents) in this folder; returns its path.
    std::string MakeFolder(const std::string& relative) const {
        std::filesystem::create_directories(m_path + "/" + relative);
        return m_path + "/" + relative;
    }
    // Writes `bytes` to the file `relative` (parents created); returns its path.
    std::string WriteFile(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path path = m_path + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path.string();
    }

  private:
    std::string m_path;
};
