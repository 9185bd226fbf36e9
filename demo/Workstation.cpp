// A workstation in miniature: a few peripheral modules, each its own process, log what they do
// through GravaLog, as real client modules would. Run by scripts/demo.sh under a demo root.
//
//   kervale_demo            runs the modules, then prints where the log is
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "kervale.h"

namespace {

struct Event {
    std::uint32_t type;
    std::uint8_t level;
    const char* unit;
    std::uint32_t amount;
    std::uint32_t value1;
    const char* label;
    std::uint8_t kind;  // 0: no data
    const char* data;   // text, or bytes for binary data
    std::size_t dataBytes;
};

void send(const Event& e) {
    LogMessage m{};
    m.msgType = e.type;
    m.level = e.level;
    std::memcpy(m.unit, e.unit, std::min<std::size_t>(3, std::strlen(e.unit)));
    m.amount = e.amount;
    m.value1 = e.value1;
    std::memcpy(m.label, e.label, std::min<std::size_t>(12, std::strlen(e.label)));
    if (e.kind != 0) {
        m.data[0] = e.kind;
        std::memcpy(m.data + 1, e.data, e.dataBytes);
        m.dataLen = static_cast<std::uint8_t>(e.dataBytes + 1);
    }
    GravaLog(&m);
}

std::size_t text(const char* s) { return std::strlen(s); }

// The card reader: cards come and go; one read goes wrong.
void cardReader() {
    static const char track[] = {'\x3B', '\x6E', '\x00', '\x00', '\x80', '\x31', '\x80', '\x66'};
    const char* hello = "leitor pronto, firmware 4.02";
    send({13, 0, "LEI", 0, 0, "INICIO", 2, hello, text(hello)});
    send({14, 1, "LEI", 1, 1, "CARTAO INSER", 0, nullptr, 0});
    send({14, 1, "LEI", 0, 1, "ATR", 1, track, sizeof track});
    const char* why = "trilha 2 ilegivel apos 3 tentativas";
    send({14, 0x81, "LEI", 0, 2, "ERRO LEITURA", 2, why, text(why)});
}

// The printer: receipts, then the paper runs out and it keeps saying so.
void printer() {
    for (std::uint32_t receipt = 1; receipt <= 3; ++receipt)
        send({15, 0, "IMP", 1, receipt, "RECIBO", 0, nullptr, 0});
    for (int i = 0; i < 14; ++i) send({15, 0x82, "IMP", 0, 0, "SEM PAPEL", 0, nullptr, 0});
}

// The cash drawer: opens and closes, then a message built with a bad amount and level.
void cashDrawer() {
    send({16, 2, "GAV", 5, 0, "ABERTA", 0, nullptr, 0});
    send({16, 2, "GAV", 0, 0, "FECHADA", 0, nullptr, 0});
    const char* note = "valor fora da faixa";
    send({16, 7, "GAV", 0x12345, 0, "CONTAGEM", 3, note, text(note)});
}

}  // namespace

int main() {
    const char* root = std::getenv("KERVALE_ROOT");
    std::printf("Machine root: %s\n", root != nullptr ? root : "(default)");
    std::printf("Three modules log as the peripherals of a workstation would...\n");
    std::fflush(stdout);

    int failed = 0;
    for (void (*module)() : {cardReader, printer, cashDrawer}) {
        const pid_t child = ::fork();
        if (child == 0) {
            module();
            std::exit(0);  // the module unloads the library: a server it hosts drains first
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || status != 0) ++failed;
    }
    return failed == 0 ? 0 : 1;
}
