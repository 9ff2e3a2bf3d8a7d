#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

// A fresh temporary directory, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "fleetset-lang-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        m_path = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    const std::string& path() const { return m_path; }
    // Writes the bytes as they are; returns the file's path.
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(m_path + "/" + name, std::ios::binary) << bytes;
        return m_path + "/" + name;
    }

private:
    std::string m_path;
};
