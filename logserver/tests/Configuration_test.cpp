#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Configuration.h"
#include "TempRoot.h"

namespace kervale {
namespace {

struct Case {
    const char* file;  // the whole of QUENDAL.INI; null: no file
    // The four lines of configText without their "\n"; null: the default line.
    const char* tipo;
    const char* eventos;
    const char* tamanho;
    const char* localiza;
    std::int16_t mode;
    std::int16_t window;
    std::uint32_t maxLogSize;
    const char* logDir;
};

const Case kCases[] = {
    {nullptr, nullptr, nullptr, nullptr, nullptr, kModeSelective, 5, 102400, "C:/VANTEX"},
    {"[VANTEX]\r\n", nullptr, nullptr, nullptr, nullptr, kModeSelective, 5, 102400, "C:/VANTEX"},
    {"[VANTEX]\nTIPO=todos\n", "TIPO    = TODOS", "EVENTOS = 5 SEM EFEITO", nullptr, nullptr,
     kModeAll, 5, 102400, "C:/VANTEX"},
    {"[VANTEX]\nTIPO=eventos\n", nullptr, nullptr, nullptr, nullptr, kModeSelective, 5, 102400,
     "C:/VANTEX"},
    {"[VANTEX]\nTIPO=abc\n", "TIPO    = ABC--INVALIDO ADMITE:XEVENTOS", nullptr, nullptr, nullptr,
     kModeSelective, 5, 102400, "C:/VANTEX"},
    {"[VANTEX]\nTIPO=TODOS-EVENTOS\n", nullptr, nullptr, nullptr, nullptr, kModeSelective, 5,
     102400, "C:/VANTEX"},
    // Only 14 characters count: "EVE" beyond them is not seen.
    {"[VANTEX]\nTIPO=abcdefghijklmneve\n", "TIPO    = ABCDEFGHIJKLMN--INVALIDO ADMITE:XEVENTOS",
     nullptr, nullptr, nullptr, kModeSelective, 5, 102400, "C:/VANTEX"},
    {"[VANTEX]\nEVENTOS=12\n", nullptr, "EVENTOS = 12--INVALIDO ADMITE:10", nullptr, nullptr,
     kModeSelective, 10, 102400, "C:/VANTEX"},
    {"[VANTEX]\nEVENTOS=3\n", nullptr, "EVENTOS = 3--INVALIDO ADMITE:5", nullptr, nullptr,
     kModeSelective, 5, 102400, "C:/VANTEX"},
    {"[VANTEX]\nEVENTOS=10\n", nullptr, "EVENTOS = 10", nullptr, nullptr, kModeSelective, 10,
     102400, "C:/VANTEX"},
    {"[VANTEX]\nEVENTOS=11\n", nullptr, "EVENTOS = 11--INVALIDO ADMITE:10", nullptr, nullptr,
     kModeSelective, 10, 102400, "C:/VANTEX"},
    {"[VANTEX]\nEVENTOS=4\n", nullptr, "EVENTOS = 4--INVALIDO ADMITE:5", nullptr, nullptr,
     kModeSelective, 5, 102400, "C:/VANTEX"},
    {"[VANTEX]\nTIPO=TODOS\nEVENTOS=3\n", "TIPO    = TODOS",
     "EVENTOS = 3--INVALIDO ADMITE:5 SEM EFEITO", nullptr, nullptr, kModeAll, 5, 102400,
     "C:/VANTEX"},
    {"[VANTEX]\nEVENTOS=70000\n", nullptr, "EVENTOS = 4464--INVALIDO ADMITE:10", nullptr, nullptr,
     kModeSelective, 10, 102400, "C:/VANTEX"},
    {"[VANTEX]\nEVENTOS=40000\n", nullptr, "EVENTOS = 4294941760--INVALIDO ADMITE:5", nullptr,
     nullptr, kModeSelective, 5, 102400, "C:/VANTEX"},
    {"[VANTEX]\nTAMANHO=1000\n", nullptr, nullptr, "TAMANHO = 1000KB", nullptr, kModeSelective, 5,
     1024000, "C:/VANTEX"},
    {"[VANTEX]\nTAMANHO=2000\n", nullptr, nullptr, "TAMANHO = 2000KB--INVALIDO ADMITE:1000KB",
     nullptr, kModeSelective, 5, 1024000, "C:/VANTEX"},
    {"[VANTEX]\nTAMANHO=50\n", nullptr, nullptr, "TAMANHO = 50KB--INVALIDO ADMITE:100KB", nullptr,
     kModeSelective, 5, 102400, "C:/VANTEX"},
    {"[VANTEX]\nDRIVER=D\n", nullptr, nullptr, nullptr, "LOCALIZA = D:/VANTEX", kModeSelective, 5,
     102400, "D:/VANTEX"},
    {"[VANTEX]\nDRIVER=data\n", nullptr, nullptr, nullptr, "LOCALIZA = d:/VANTEX", kModeSelective,
     5, 102400, "d:/VANTEX"},
    {"[VANTEX]\nDRIVER=\n", nullptr, nullptr, nullptr, "LOCALIZA = ", kModeSelective, 5, 102400,
     ""},
    // Other sections and the [MAQUINA] listing do not count.
    {"[MAQUINA]\nTIPO=todos\n[VANTEX]\n[OUTRA]\nEVENTOS=7\n", nullptr, nullptr, nullptr, nullptr,
     kModeSelective, 5, 102400, "C:/VANTEX"},
};

TEST(ConfigurationTest, SummaryAndEffectiveValues) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file != nullptr ? c.file : "(no file)");
        testing::TempRoot root;
        if (c.file != nullptr) testing::writeFile(root.file("C/WINDOWS/QUENDAL.INI"), c.file);
        auto area = std::make_unique<SharedArea>();
        area->maxLogSize = 7;  // a stale value must not leak in
        ServerState state;
        state.area = area.get();
        loadConfig(state);

        const std::string expected =
            std::string(c.tipo ? c.tipo : "TIPO    = XEVENTOS") + "\n" +
            (c.eventos ? c.eventos : "EVENTOS = 5") + "\n" +
            (c.tamanho ? c.tamanho : "TAMANHO = 100KB") + "\n" +
            (c.localiza ? c.localiza : "LOCALIZA = C:/VANTEX") + "\n";
        EXPECT_EQ(area->configText, expected);
        EXPECT_EQ(area->mode, c.mode);
        EXPECT_EQ(area->window, c.window);
        EXPECT_EQ(area->maxLogSize, c.maxLogSize);
        EXPECT_STREQ(area->logDir, c.logDir);
    }
}

}  // namespace
}  // namespace kervale
