// A private machine root for one test: a fresh temporary folder set as KERVALE_ROOT, removed
// with everything in it when the test ends.
#pragma once

#include <string>

namespace kervale::testing {

class TempRoot {
  public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return path_; }
    // Host path of a file under the root, e.g. file("C/VANTEX/VANTEX.LOG").
    std::string file(const std::string& relative) const { return path_ + "/" + relative; }

  private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Whole content of a file ("" when it cannot be read).
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);  // creates parent folders
bool fileExists(const std::string& path);

}  // namespace kervale::testing
