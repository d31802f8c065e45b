#pragma once
// What the benchmarks share: a fresh practice folder, reproducible random
// words, and the real ICD-10-GM catalogue beside the project.
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <random>
#include <string>

// A new empty folder under the temporary directory; prefix names it.
inline std::string BenchHome(const char* prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / prefix).string() + "-XXXXXX";
    const char* made = mkdtemp(pattern.data());
    if (!made) std::abort();
    return made;
}

// Lower-case words of random length; the same seed gives the same words, so
// runs compare.
class RandomWords {
  public:
    explicit RandomWords(unsigned seed) : m_random(seed) {}
    std::string operator()(int minLength, int maxLength) {
        const int length = std::uniform_int_distribution<int>(minLength, maxLength)(m_random);
        std::string word;
        for (int i = 0; i < length; ++i)
            word += static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(m_random));
        return word;
    }
    int Between(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(m_random);
    }

  private:
    std::mt19937 m_random;
};

// The catalogue lies beside the project (../shared/icd10gm); Q7_ICD_DIR
// points elsewhere.
inline std::string CatalogueDir() {
    const char* dir = getenv("Q7_ICD_DIR");
    if (dir && *dir) return dir;
    return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "shared" /
            "icd10gm")
        .string();
}

// Reads a catalogue file, unpacking the xz ones; empty when missing.
inline std::string ReadCatalogueFile(const std::string& name) {
    const std::string path = CatalogueDir() + "/" + name;
    std::string command;
    if (std::filesystem::exists(path + ".xz"))
        command = "xz -dc '" + path + ".xz'";
    else if (std::filesystem::exists(path))
        command = "cat '" + path + "'";
    else
        return std::string();
    std::string content;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return content;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) content.append(buffer, n);
    pclose(pipe);
    return content;
}
