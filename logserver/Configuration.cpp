#include "Configuration.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "Profile.h"

namespace kervale {

namespace {

constexpr char kSection[] = "VANTEX";
constexpr char kInvalid[] = "--INVALIDO ADMITE:";

constexpr std::int16_t kWindowMin = 5;
constexpr std::int16_t kWindowMax = 10;
constexpr std::uint32_t kSizeMinKb = 100;
constexpr std::uint32_t kSizeMaxKb = 1000;

template <std::size_t N>
void append(char (&text)[N], const char* more) {
    const std::size_t used = strnlen(text, N);
    if (used + 1 < N) std::snprintf(text + used, N - used, "%s", more);
}

}  // namespace

void loadConfig(ServerState& state) {
    SharedArea& area = *state.area;

    char tipo[15];  // at most 14 characters count
    platform::profileString(kSection, "TIPO", "XEVENTOS", tipo, sizeof tipo, kConfigFile);
    // Only the low 16 bits of the window count, as a signed number.
    area.window = static_cast<std::int16_t>(
        static_cast<std::uint16_t>(platform::profileInt(kSection, "EVENTOS", 5, kConfigFile)));
    area.maxLogSize = platform::profileInt(kSection, "TAMANHO", 100, kConfigFile);
    char driver[4];
    platform::profileString(kSection, "DRIVER", "C", driver, sizeof driver, kConfigFile);

    std::snprintf(area.configText, sizeof area.configText, "TIPO    = ");

    for (char* c = tipo; *c != '\0'; ++c)
        *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
    if (std::strstr(tipo, "EVE") != nullptr) {  // before "TOD": TODOS-EVENTOS is selective
        append(area.configText, "XEVENTOS\n");
        area.mode = kModeSelective;
    } else if (std::strstr(tipo, "TOD") != nullptr) {
        append(area.configText, "TODOS\n");
        area.mode = kModeAll;
    } else {
        append(area.configText, tipo);
        append(area.configText, kInvalid);
        append(area.configText, "XEVENTOS\n");
        area.mode = kModeSelective;
    }

    char note[48] = "";  // at most "4294967295KB--INVALIDO ADMITE:"
    char line[100];
    append(area.configText, "EVENTOS = ");
    if (area.window > kWindowMax || area.window < kWindowMin) {
        // The value read is shown widened with its sign and printed unsigned.
        std::snprintf(note, sizeof note, "%u%s",
                      static_cast<unsigned>(static_cast<std::int32_t>(area.window)), kInvalid);
        area.window = area.window > kWindowMax ? kWindowMax : kWindowMin;
    }
    std::snprintf(line, sizeof line, area.mode == kModeAll ? "%s%u SEM EFEITO\n" : "%s%u\n", note,
                  static_cast<unsigned>(area.window));
    append(area.configText, line);

    note[0] = '\0';
    append(area.configText, "TAMANHO = ");
    if (area.maxLogSize > kSizeMaxKb || area.maxLogSize < kSizeMinKb) {
        std::snprintf(note, sizeof note, "%luKB%s", static_cast<unsigned long>(area.maxLogSize),
                      kInvalid);
        area.maxLogSize = area.maxLogSize > kSizeMaxKb ? kSizeMaxKb : kSizeMinKb;
    }
    std::snprintf(line, sizeof line, "%s%luKB\n", note,
                  static_cast<unsigned long>(area.maxLogSize));
    append(area.configText, line);
    area.maxLogSize <<= 10;

    // The drive is the first character as written; an empty DRIVER leaves no directory name.
    if (driver[0] == '\0')
        area.logDir[0] = '\0';
    else
        std::snprintf(area.logDir, sizeof area.logDir, "%c:/VANTEX", driver[0]);
    append(area.configText, "LOCALIZA = ");
    append(area.configText, area.logDir);
    append(area.configText, "\n");
}

}  // namespace kervale
