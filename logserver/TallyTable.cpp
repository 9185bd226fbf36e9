#include "TallyTable.h"

#include <cstdio>
#include <cstring>

#include "LogFile.h"

namespace kervale {

namespace {

constexpr std::size_t kLineSize = 400;  // a longer line is read in parts

// Lines read from the start of the log in search of the heading: enough for the largest full
// header, whose heading follows 10 lines of its own and one line for each machine key.
constexpr int kHeadingSearchReads = 11 + static_cast<int>((kMachineListSize - 2) / 2);

// Block layout: the spaces, then the line end.
constexpr std::int64_t kBlockBytes = kTallyBlockSpaces + 2;
constexpr int kTallyLineBytes = 16;
static_assert(kTallyUsable * kTallyLineBytes < kTallyBlockSpaces - 2,
              "a full table leaves the block's last spaces and its line end untouched");

bool isEndMark(const TallyEntry& entry) {
    return static_cast<unsigned char>(entry.key[0]) == kTallyEndMark;
}

void setEndMark(TallyEntry& entry) { entry.key[0] = static_cast<char>(kTallyEndMark); }

// Entries in use: those before the end mark. A table without a mark reads as empty.
int tableSize(const SharedArea& area) {
    for (int i = 0; i < kTallyEntries; ++i)
        if (isEndMark(area.tallies[i])) return i < kTallyUsable ? i : kTallyUsable;
    return 0;
}

// A key as its tally line shows it: right-aligned in three columns. Keys and units that print
// alike are one unit, since the block cannot tell them apart.
void printedKey(const char* key, char (&out)[4]) { std::snprintf(out, sizeof out, "%3.3s", key); }

// The position right after the heading line, or -1. A line with "|" as its first and fourth
// characters ends the search early (a record line, whose second "|" is its fifth, does not).
std::int64_t findHeading(const SharedArea& area, BufferedFile& log) {
    const std::size_t headingLength = strnlen(area.tallyHeading, sizeof area.tallyHeading);
    if (headingLength == 0 || !log.seek(0)) return -1;
    char line[kLineSize];
    for (int read = 0; read < kHeadingSearchReads && log.readLine(line, sizeof line); ++read) {
        if (std::strncmp(line, area.tallyHeading, headingLength) == 0) return log.tell();
        if (line[0] == '|' && line[1] != '\0' && line[2] != '\0' && line[3] == '|') return -1;
    }
    return -1;
}

// The block is ours to rewrite only when it still ends where it was reserved to end.
bool blockIntact(BufferedFile& log, std::int64_t block) {
    if (log.length() < block + kBlockBytes || !log.seek(block + kBlockBytes - 4)) return false;
    char tail[8];
    return log.readLine(tail, sizeof tail) && std::strcmp(tail, "  \r\n") == 0;
}

// "KEY count": the key in the first three columns, the count from the fifth on. A line without a
// count (the block's remaining spaces) ends the table, also when the key is blank.
bool parseTallyLine(const char* line, TallyEntry& entry) {
    if (strnlen(line, 5) < 5) return false;
    const char* p = line + 4;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return false;
    std::uint64_t count = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if ((count = count * 10 + static_cast<std::uint64_t>(*p - '0')) > 0xFFFFFFFFu)
            count = 0xFFFFFFFFu;  // saturates, as a 32-bit strtoul does
    entry = TallyEntry{};
    int padding = 0;
    while (padding < 3 && line[padding] == ' ') ++padding;
    std::memcpy(entry.key, line + padding, static_cast<std::size_t>(3 - padding));
    entry.count = static_cast<std::uint32_t>(count);
    return true;
}

}  // namespace

Status readTallies(ServerState& state) {
    SharedArea& area = *state.area;
    BufferedFile& log = state.log;
    const std::int64_t saved = log.tell();

    setEndMark(area.tallies[0]);
    const std::int64_t block = findHeading(area, log);
    if (block <= 0 || block > 0xFFFFFFFF || !blockIntact(log, block)) {
        area.tallyPos = 0;  // whatever it held belonged to another file
        log.seek(saved);
        return kNoTallyBlock;
    }
    area.tallyPos = static_cast<std::uint32_t>(block);

    log.seek(block);
    char line[kLineSize];
    for (int n = 0; n < kTallyUsable && log.readLine(line, sizeof line); ++n) {
        if (!parseTallyLine(line, area.tallies[n])) break;
        setEndMark(area.tallies[n + 1]);
    }
    log.seek(saved);
    return kOk;
}

Status writeTallies(ServerState& state) {
    SharedArea& area = *state.area;
    BufferedFile& log = state.log;
    if (area.tallyPos == 0) return kNoTallyBlock;
    const std::int64_t saved = log.tell();
    if (log.seek(area.tallyPos)) {
        const int size = tableSize(area);
        for (int i = 0; i < size; ++i)
            log.print("%3.3s %10lu\r\n", area.tallies[i].key,
                      static_cast<unsigned long>(area.tallies[i].count));
    }
    log.seek(saved);
    return kOk;
}

Status addTally(ServerState& state, const char* unit, std::uint16_t amount) {
    SharedArea& area = *state.area;
    char key[4] = {};
    std::snprintf(key, sizeof key, "%.3s", unit != nullptr ? unit : "");
    if (std::strpbrk(key, "\r\n") != nullptr || static_cast<unsigned char>(key[0]) == kTallyEndMark)
        return kNoTallyBlock;

    char wanted[4];
    printedKey(key, wanted);
    const int size = tableSize(area);
    for (int i = 0; i < size; ++i) {
        char held[4];
        printedKey(area.tallies[i].key, held);
        if (std::strcmp(held, wanted) == 0) {
            area.tallies[i].count += amount;
            writeTallies(state);
            return kOk;
        }
    }
    if (size == kTallyUsable) return kNoTallyBlock;

    // Stored as it reads back from its tally line: without the left padding.
    TallyEntry& entry = area.tallies[size];
    entry = TallyEntry{};
    const char* text = wanted;
    while (*text == ' ') ++text;
    std::memcpy(entry.key, text, std::strlen(text));
    entry.count = amount;
    setEndMark(area.tallies[size + 1]);
    writeTallies(state);
    return kOk;
}

}  // namespace kervale
