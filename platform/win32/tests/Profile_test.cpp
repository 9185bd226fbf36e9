#include "Profile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Win32Test.h"

namespace kervale::platform {
namespace {

using testing::uniqueName;
using testing::writeFile;

// An initialization file in the Windows directory, where a file named without a directory is
// looked for; removed afterwards.
class IniFile {
  public:
    IniFile(std::string name, const std::string& content) : name_(std::move(name)) {
        char directory[MAX_PATH];
        const UINT n = ::GetWindowsDirectoryA(directory, sizeof directory);
        path_ = std::string(directory, n) + "\\" + name_;
        EXPECT_TRUE(writeFile(path_, content)) << path_;
    }
    ~IniFile() { std::remove(path_.c_str()); }
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    const char* name() const { return name_.c_str(); }

  private:
    std::string name_;
    std::string path_;
};

std::string text(const char* section, const char* key, const char* defaultValue,
                 const char* file, std::uint32_t size = 64) {
    std::string out(size, '#');
    const std::uint32_t n = profileString(section, key, defaultValue, out.data(), size, file);
    EXPECT_EQ(out.find('\0'), n);
    return out.substr(0, n);
}

// The names of a key list up to its closing empty name, each followed by "|", all within `size`.
std::string names(const char* section, const char* file, std::uint32_t size) {
    std::string out(size + 8, '#');
    profileString(section, nullptr, "", out.data(), size, file);
    EXPECT_EQ(out.substr(size), std::string(8, '#')) << "written past the buffer";
    std::string listed;
    for (std::size_t at = 0; at < size && out[at] != '\0'; at = out.find('\0', at) + 1)
        listed += out.substr(at, out.find('\0', at) - at) + "|";
    return listed;
}

const char kQuendal[] =
    "[VANTEX]\r\n"
    "TIPO = todos \r\n"
    "EVENTOS=12\r\n"
    "TAMANHO=-5\r\n"
    "DRIVER=data\r\n"
    "RUIDO=12abc\r\n"
    "TEXTO=abc\r\n"
    "[MAQUINA]\r\n"
    "A=1\r\n"
    "B=\r\n"
    "MODELO=WORKSTATION-12\r\n";

TEST(ProfileTest, ReadsQuendalIniInTheWindowsDirectory) {
    const IniFile ini("QUENDAL.INI", kQuendal);
    EXPECT_EQ(text("VANTEX", "TIPO", "XEVENTOS", ini.name()), "todos");
    EXPECT_EQ(text("vantex", "driver", "C", ini.name()), "data");
    EXPECT_EQ(text("VANTEX", "DRIVER", "C", ini.name(), 4), "dat");
    EXPECT_EQ(text("VANTEX", "NADA", "C", ini.name()), "C");
    EXPECT_EQ(text("NADA", "TIPO", "XEVENTOS", ini.name()), "XEVENTOS");
    EXPECT_EQ(text("MAQUINA", "B", "x", ini.name()), "");

    EXPECT_EQ(profileInt("VANTEX", "EVENTOS", 5, ini.name()), 12u);
    EXPECT_EQ(profileInt("VANTEX", "TAMANHO", 100, ini.name()), static_cast<std::uint32_t>(-5));
    EXPECT_EQ(profileInt("VANTEX", "RUIDO", 5, ini.name()), 12u);
    EXPECT_EQ(profileInt("VANTEX", "TEXTO", 5, ini.name()), 0u);
    EXPECT_EQ(profileInt("VANTEX", "NADA", 5, ini.name()), 5u);

    EXPECT_EQ(names("MAQUINA", ini.name(), 256), "A|B|MODELO|");
}

TEST(ProfileTest, AMissingFileOrSectionGivesTheDefaultsAndNoNames) {
    const std::string missing = uniqueName("MISSING") + ".INI";
    EXPECT_EQ(text("VANTEX", "TIPO", "XEVENTOS", missing.c_str()), "XEVENTOS");
    EXPECT_EQ(profileInt("VANTEX", "EVENTOS", 5, missing.c_str()), 5u);
    EXPECT_EQ(names("MAQUINA", missing.c_str(), 256), "");

    const IniFile ini(uniqueName("EMPTY") + ".INI", "[VANTEX]\r\nTIPO=todos\r\n[MAQUINA]\r\n");
    EXPECT_EQ(names("MAQUINA", ini.name(), 256), "");
    EXPECT_EQ(names("NADA", ini.name(), 256), "");
}

// A list cut to its buffer still ends with an empty name inside the buffer.
TEST(ProfileTest, ACutListOfNamesStaysClosed) {
    const IniFile ini(uniqueName("CUT") + ".INI", kQuendal);
    EXPECT_EQ(names("MAQUINA", ini.name(), 8), "A|B|MO|");
    EXPECT_EQ(names("MAQUINA", ini.name(), 3), "A|");
    EXPECT_EQ(names("MAQUINA", ini.name(), 2), "");
}

}  // namespace
}  // namespace kervale::platform
