#include "MessageScript.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace kervale::testing {

namespace {

struct Fields {
    std::uint32_t type = KERVALE_TYPE_13;
    std::uint8_t level = KERVALE_LEVEL_EVENT0;
    const char* unit = "ABC";
    std::uint32_t amount = 0;
    std::uint32_t value1 = 0;
    std::uint32_t value2 = 0;
    std::uint8_t code1 = 0;
    std::uint8_t code2 = 0;
};

LogMessage make(const Fields& f, const std::string& label) {
    LogMessage m{};
    m.msgType = f.type;
    m.level = f.level;
    std::memcpy(m.unit, f.unit, std::min<std::size_t>(std::strlen(f.unit), sizeof m.unit));
    m.amount = f.amount;
    m.code1 = f.code1;
    m.code2 = f.code2;
    m.value1 = f.value1;
    m.value2 = f.value2;
    std::memcpy(m.label, label.data(), std::min(label.size(), sizeof m.label));
    return m;
}

// Data of `kind` with `payload` after the kind byte; dataLen counts both (cut to the field).
LogMessage withData(LogMessage m, std::uint8_t kind, const std::string& payload) {
    const std::size_t n = std::min(payload.size(), sizeof m.data - 1);
    m.data[0] = kind;
    std::memcpy(m.data + 1, payload.data(), n);
    m.dataLen = static_cast<std::uint8_t>(n + 1);
    return m;
}

LogMessage withBinary(LogMessage m, int bytes, int seed) {
    std::string payload;
    for (int i = 0; i < bytes; ++i)
        payload.push_back(static_cast<char>((seed * 37 + i * 11) & 0xFF));
    return withData(m, KERVALE_DATA_BINARY, payload);
}

std::string words(int count, int seed) {
    static const char* const kWords[] = {"leitura", "porta", "falha", "evento", "cartao",
                                         "sensor",  "tampa", "nivel", "erro",   "retorno"};
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += ' ';
        text += kWords[(seed + i * 3) % 10];
    }
    return text;
}

}  // namespace

std::vector<LogMessage> messageScript() {
    std::vector<LogMessage> script;
    const auto add = [&script](const LogMessage& m) { script.push_back(m); };

    // Each type and level, no data.
    const std::uint32_t types[] = {13, 14, 15, 16, 20, 21};
    const std::uint8_t levels[] = {0, 1, 2, 0x81, 0x82};
    int n = 0;
    for (const std::uint32_t type : types)
        for (const std::uint8_t level : levels) {
            Fields f;
            f.type = type;
            f.level = level;
            f.value1 = static_cast<std::uint32_t>(n * 257);
            f.value2 = 0xFFFF - static_cast<std::uint32_t>(n);
            f.code1 = static_cast<std::uint8_t>(n * 7);
            f.code2 = static_cast<std::uint8_t>(255 - n);
            add(make(f, "TIPO" + std::to_string(n++)));
        }

    // The data kinds: binary (up to its limit), text short and long (wrapped at 80 columns), text
    // that is never wrapped, and text cut at a NUL.
    Fields data;
    data.unit = "DAT";
    data.amount = 1;
    add(withBinary(make(data, "BIN1"), 1, 1));
    add(withBinary(make(data, "BIN64"), 64, 2));
    add(withBinary(make(data, "BIN127"), 127, 3));
    add(withData(make(data, "TXT"), KERVALE_DATA_TEXT, "texto curto"));
    add(withData(make(data, "TXTLONGO"), KERVALE_DATA_TEXT, words(40, 1)));
    add(withData(make(data, "TXT254"), KERVALE_DATA_TEXT, std::string(254, 'W')));
    add(withData(make(data, "SEMQUEBRA"), KERVALE_DATA_TEXT_NOWRAP, words(30, 2)));
    add(withData(make(data, "NUL"), KERVALE_DATA_TEXT, std::string("antes\0depois", 12)));
    add(withData(make(data, "VAZIO"), KERVALE_DATA_TEXT, ""));
    add(make(data, "123456789012"));  // a label that fills its field

    // A run of identical records long enough to collapse, then a different one, then a run that
    // stays short.
    Fields same;
    same.unit = "REP";
    same.amount = 2;
    for (int i = 0; i < 25; ++i) add(withData(make(same, "REPETE"), KERVALE_DATA_TEXT, "igual"));
    add(withData(make(same, "OUTRO"), KERVALE_DATA_TEXT, "diferente"));
    for (int i = 0; i < 4; ++i) add(make(same, "CURTA"));

    // Tallies of several units, up to the largest amount.
    const char* const units[] = {"UN1", "UN2", "UN3", "ABC", "XYZ"};
    for (int i = 0; i < 20; ++i) {
        Fields f;
        f.unit = units[i % 5];
        f.amount = i == 7 ? 0xFFFF : static_cast<std::uint32_t>(i * 13 + 1);
        f.level = static_cast<std::uint8_t>(i % 3);
        add(make(f, "SOMA" + std::to_string(i)));
    }

    // Rejected fields, alone and together.
    Fields bad;
    bad.unit = "BAD";
    bad.type = 99;
    add(make(bad, "TIPORUIM"));
    bad.type = KERVALE_TYPE_14;
    bad.level = 7;
    add(make(bad, "NIVELRUIM"));
    bad.level = KERVALE_LEVEL_FAULT1;
    bad.amount = 0x10000;
    bad.value1 = 0x12345;
    bad.value2 = 0x10000;
    add(withBinary(make(bad, "VARIOS"), 200, 4));
    bad.amount = 3;
    bad.value1 = 1;
    bad.value2 = 2;
    add(withData(make(bad, "TIPODADO"), 9, "dados"));

    // Enough varied lines to pass the smallest log size once (100 KB): events with a fault now
    // and then, so that the selective mode writes some of them too.
    std::uint32_t state = 12345;
    for (int i = 0; i < 900; ++i) {
        state = state * 1103515245u + 12345u;
        Fields f;
        f.type = types[(state >> 8) % 6];
        f.level = static_cast<std::uint8_t>(i % 9 == 8 ? std::uint32_t{KERVALE_LEVEL_FAULT2}
                                                       : (state >> 4) % 3);
        f.unit = units[(state >> 12) % 5];
        f.amount = (state >> 16) % 500;
        f.value1 = (state >> 3) & 0xFFFF;
        f.value2 = static_cast<std::uint32_t>(i);
        f.code1 = static_cast<std::uint8_t>(state >> 20);
        char label[13];
        std::snprintf(label, sizeof label, "L%05d", i);
        const LogMessage m = make(f, label);
        add(i % 4 == 3
                ? withBinary(m, static_cast<int>((state >> 9) % 40), i)
                : withData(m, KERVALE_DATA_TEXT, words(static_cast<int>((state >> 5) % 14), i)));
    }
    Fields last;
    last.level = KERVALE_LEVEL_FAULT1;
    last.unit = "FIM";
    add(make(last, kScriptEnd));
    return script;
}

}  // namespace kervale::testing
