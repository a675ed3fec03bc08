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
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }

    // Creates the folder `relative` (and its parents) inside this one; returns its path.
    std::string MakeFolder(const std::string& relative) const {
        const std::string path = m_path + "/" + relative;
        std::filesystem::create_directories(path);
        return path;
    }

    // Writes `bytes` to the file `relative` (parents created); returns its path.
    std::string WriteFile(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path path = m_path + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

  private:
    std::string m_path;
};
