// The POSIX initialization-file reader gives what the Windows profile calls give.
#include <gtest/gtest.h>

#include <string>

#include "Profile.h"
#include "TempRoot.h"

namespace kervale::platform {
namespace {

using testing::TempRoot;

constexpr char kFile[] = "TESTE.INI";

class ProfileTest : public ::testing::Test {
  protected:
    void write(const std::string& content) {
        testing::writeFile(root.file("C/WINDOWS/TESTE.INI"), content);
    }

    // The value as the text call gives it, with a 64-byte buffer unless told otherwise.
    std::string text(const char* section, const char* key, const char* fallback = "dflt",
                     std::uint32_t size = 64) {
        std::string out(size, '#');
        const std::uint32_t n = profileString(section, key, fallback, out.data(), size, kFile);
        EXPECT_EQ(n, std::char_traits<char>::length(out.c_str()));
        return out.c_str();
    }

    // A key-name list as it stands in the buffer, up to and including its two final NULs.
    std::string list(const char* section, std::uint32_t size, std::uint32_t* count = nullptr) {
        std::string out(size, '#');
        const std::uint32_t n = profileString(section, nullptr, "", out.data(), size, kFile);
        if (count != nullptr) *count = n;
        const std::size_t end = out.find(std::string("\0\0", 2));
        return end == std::string::npos ? out : out.substr(0, end + 2);
    }

    TempRoot root;
};

TEST_F(ProfileTest, ValuesAsWritten) {
    write("; top comment\r\n"
          "[Outra]\r\n"
          "Chave=outra\r\n"
          "  [ Vantex ]  \r\n"  // the section's name keeps its inner blanks
          "Chave=nao\r\n"
          "[VANTEX]\r\n"
          "  Tipo =  todos   \r\n"
          "Vazio=\r\n"
          "Aspas=\"  entre aspas  \"\r\n"
          "Meia=\"meia\r\n"
          "Simples='x'\r\n"
          "Misto=\"x'\r\n"
          ";Comentado=1\r\n"
          "SemIgual\r\n"
          "Igual=a=b\n"
          "Dupla=primeira\n"
          "DUPLA=segunda\n"
          "[vantex]\n"
          "Depois=1\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"VANTEX", "TIPO", "todos"},           {"vantex", "tipo", "todos"},
        {"VANTEX", "Vazio", ""},               {"VANTEX", "Aspas", "  entre aspas  "},
        {"VANTEX", "Meia", "\"meia"},          {"VANTEX", "Simples", "x"},
        {"VANTEX", "Misto", "\"x'"},           {"VANTEX", "Comentado", "dflt"},
        {";Comentado", "x", "dflt"},           {"VANTEX", "SemIgual", "dflt"},
        {"VANTEX", "Igual", "a=b"},            {"VANTEX", "dupla", "primeira"},
        {"VANTEX", "Depois", "dflt"},          {"VANTEX", "Falta", "dflt"},
        {"Nada", "Tipo", "dflt"},              {" Vantex ", "Chave", "nao"},
        {"OUTRA", "CHAVE", "outra"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(text(c.section, c.key), c.expected) << c.section << "/" << c.key;
}

TEST_F(ProfileTest, MissingFileGivesTheDefaultWithoutTrailingBlanks) {
    EXPECT_EQ(text("VANTEX", "TIPO", "XEVENTOS  "), "XEVENTOS");
    EXPECT_EQ(text("VANTEX", "TIPO", nullptr), "");
    EXPECT_EQ(list("MAQUINA", 16), std::string("\0\0", 2));
}

TEST_F(ProfileTest, ValuesAndDefaultsAreCutToTheBuffer) {
    write("[S]\nLongo=\"0123456789\"\nCurto=ab\n");
    EXPECT_EQ(text("S", "Longo", "", 5), "0123");
    EXPECT_EQ(text("S", "Longo", "", 11), "0123456789");
    EXPECT_EQ(text("S", "Curto", "", 1), "");
    EXPECT_EQ(text("S", "Falta", "default", 4), "def");
    char untouched = 'x';
    EXPECT_EQ(profileString("S", "Curto", "", &untouched, 0, kFile), 0u);
    EXPECT_EQ(untouched, 'x');
}

TEST_F(ProfileTest, KeyNamesInFileOrderAndCutToTheBuffer) {
    write("[MAQUINA]\r\nB=2\r\n;C=3\r\n\r\nA=1\r\nsem igual\r\n=anonimo\r\nLonga=x\r\n[X]\r\nY=1\r\n");
    std::uint32_t n = 0;
    EXPECT_EQ(list("maquina", 64, &n), std::string("B\0A\0Longa\0\0", 11));
    EXPECT_EQ(n, 10u);
    // Cut: the last name is shortened and two NULs end the list; the count is the size less 2.
    EXPECT_EQ(list("MAQUINA", 8, &n), std::string("B\0A\0Lo\0\0", 8));
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(list("MAQUINA", 2, &n), std::string("\0\0", 2));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(list(nullptr, 64), std::string("MAQUINA\0X\0\0", 11));  // section names

    write("[MAQUINA]\r\n; nothing\r\n[X]\r\nY=1\r\n");
    EXPECT_EQ(list("MAQUINA", 64, &n), std::string("\0\0", 2));
    EXPECT_EQ(n, 0u);
}

TEST_F(ProfileTest, IntegersReadAsWindowsReadsThem) {
    write("[N]\nA=42\nB=-1\nC=+7\nD=12abc\nE=abc\nF=\nG=4294967296\nH=70000\nI=\" 8\"\nJ=\"9\"\n"
          "K=0x10\nL=- 3\n");
    struct Case {
        const char* key;
        std::uint32_t expected;
    } cases[] = {
        {"A", 42},     {"B", 0xFFFFFFFFu}, {"C", 7}, {"D", 12}, {"E", 0},     {"F", 99},
        {"G", 0},      {"H", 70000},       {"I", 8}, {"J", 9},  {"K", 0},     {"L", 0},
        {"Falta", 99},
    };
    for (const Case& c : cases) EXPECT_EQ(profileInt("N", c.key, 99, kFile), c.expected) << c.key;
    EXPECT_EQ(profileInt("Nada", "A", -5, kFile), static_cast<std::uint32_t>(-5));
    EXPECT_EQ(profileInt("N", "A", 1, "NAO.INI"), 1u);
}

TEST_F(ProfileTest, BinaryBytesAndLongLinesAreHarmless) {
    std::string content = "[S]\nK=";
    content += std::string(5000, 'v');
    content += std::string("\nZ=a\0b\n\xff\xfe=\x01\n", 13);
    write(content);
    EXPECT_EQ(text("S", "K", "", 8), "vvvvvvv");
    EXPECT_EQ(text("S", "Z"), "a");
    EXPECT_EQ(list("S", 64), std::string("K\0Z\0\xff\xfe\0\0", 8));
}

}  // namespace
}  // namespace kervale::platform
