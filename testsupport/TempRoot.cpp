#include "TempRoot.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kervale::testing {

TempRoot::TempRoot() {
    if (const char* old = std::getenv("KERVALE_ROOT")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "kervale-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    ::setenv("KERVALE_ROOT", path_.c_str(), 1);
}

TempRoot::~TempRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    if (hadPrevious_)
        ::setenv("KERVALE_ROOT", previous_.c_str(), 1);
    else
        ::unsetenv("KERVALE_ROOT");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace kervale::testing
