#include "LogFile.h"

#include <cstdio>
#include <cstring>

#include "Configuration.h"
#include "FileSystem.h"
#include "Profile.h"
#include "RecordQueue.h"
#include "TallyTable.h"
#include "TimeStamp.h"

namespace kervale {

namespace {

constexpr char kBanner[] = "Servidor de Log - QUENDAL versao 2.1";
constexpr char kTallyHeading[] = "Perif. Registrador";
constexpr char kMachineSection[] = "MAQUINA";
constexpr char kCurrentLog[] = "VANTEX.LOG";
constexpr char kPreviousLog[] = "VANTEX.ANT";

using Path = char[64];

// The log directory followed by the file name. False when it does not fit.
bool logPath(const SharedArea& area, const char* name, Path& path) {
    const int dirLength = static_cast<int>(strnlen(area.logDir, sizeof area.logDir));
    const int n = std::snprintf(path, sizeof path, "%.*s%s", dirLength, area.logDir, name);
    return n > 0 && static_cast<std::size_t>(n) < sizeof path;
}

// Text fields of the area are read within their size, whatever they hold.
template <std::size_t N>
int textLength(const char (&text)[N]) {
    return static_cast<int>(strnlen(text, N));
}

// Writes an area text with each "\n" stored as the log's line end.
template <std::size_t N>
void writeText(BufferedFile& log, const char (&text)[N]) {
    const char* p = text;
    const char* const end = text + textLength(text);
    while (p < end) {
        const char* feed = static_cast<const char*>(std::memchr(p, '\n', end - p));
        log.write(p, static_cast<std::size_t>((feed != nullptr ? feed : end) - p));
        if (feed == nullptr) break;
        log.write(kLineEnd, 2);
        p = feed + 1;
    }
}

// One "name=value" line for each key of [MAQUINA] in file order, or "NAO EXISTE:".
void writeMachineSection(BufferedFile& log) {
    char names[kMachineListSize] = "";
    platform::profileString(kMachineSection, nullptr, "", names, sizeof names, kConfigFile);
    names[sizeof names - 1] = '\0';
    log.print("INFORMACOES DA MAQUINA:\r\n");
    if (names[0] == '\0') log.print("NAO EXISTE:\r\n");
    const char* const end = names + sizeof names;
    for (const char* name = names; name < end && *name != '\0';
         name += strnlen(name, static_cast<std::size_t>(end - name)) + 1) {
        char value[kMachineValueSize];
        platform::profileString(kMachineSection, name, "", value, sizeof value, kConfigFile);
        log.print("%s=%s\r\n", name, value);
    }
}

}  // namespace

void configure(ServerState& state) {
    SharedArea& area = *state.area;
    loadConfig(state);
    if (!platform::directoryExists(area.logDir)) platform::createDirectory(area.logDir);
    const std::size_t used = strnlen(area.logDir, sizeof area.logDir);
    if (used + 1 < sizeof area.logDir) {
        area.logDir[used] = '/';
        area.logDir[used + 1] = '\0';
    }
    std::snprintf(area.banner, sizeof area.banner, "%s", kBanner);
    std::snprintf(area.tallyHeading, sizeof area.tallyHeading, "%s", kTallyHeading);
    if (area.mode == kModeSelective) initQueues(area, area.window);
}

Status openLog(ServerState& state) {
    Path path;
    if (!logPath(*state.area, kCurrentLog, path) ||
        !state.log.open(path, platform::OpenMode::existing))
        return kCannotOpen;
    state.log.seekEnd();
    return kOk;
}

Status createLog(ServerState& state) {
    Path path;
    if (!logPath(*state.area, kCurrentLog, path) ||
        !state.log.open(path, platform::OpenMode::truncate))
        return kCannotCreate;
    writeHeader(state, kFullHeader);
    return kOk;
}

Status rotateLog(ServerState& state) {
    SharedArea& area = *state.area;
    BufferedFile& log = state.log;
    if (!log.isOpen() || static_cast<std::uint64_t>(log.length()) <= area.maxLogSize) return kOk;
    Path current;
    Path previous;
    if (!logPath(area, kCurrentLog, current) || !logPath(area, kPreviousLog, previous))
        return kOk;

    log.close();
    platform::removeFile(previous);  // gone already, or replaced now
    if (!platform::renameFile(current, previous)) {
        // Creating the new log now would empty the current one. It stays as it is and takes this
        // message's lines; the next message tries the rotation again.
        return openLog(state) == kOk ? kOk : kCannotCreate;
    }
    if (createLog(state) != kOk) return kCannotCreate;  // no log is open now
    writeTallies(state);  // the totals go on in the new log
    return kOk;
}

Status closeLog(ServerState& state) {
    state.log.close();
    return kOk;
}

void writeHeader(ServerState& state, std::int16_t kind) {
    SharedArea& area = *state.area;
    BufferedFile& log = state.log;
    if (!log.isOpen() || (kind != kFullHeader && kind != kStartBlock)) return;

    char timeText[25];
    makeTimeText(state, timeText);
    log.seekEnd();
    // The start line ends twice: the time text carries its own line end.
    log.print("%.*s\r\nInicio do Log:%s\r\n\r\n", textLength(area.banner), area.banner, timeText);
    if (kind == kFullHeader) writeMachineSection(log);
    log.print("Configuracao do VANTEX:\r\n");
    writeText(log, area.configText);
    log.write(kLineEnd, 2);
    if (kind == kFullHeader) reserveTallyBlock(state);
}

void reserveTallyBlock(ServerState& state) {
    SharedArea& area = *state.area;
    BufferedFile& log = state.log;
    if (!log.isOpen()) return;
    log.print("%.*s\r\n", textLength(area.tallyHeading), area.tallyHeading);
    const std::int64_t at = log.tell();
    area.tallyPos = at > 0 && at <= 0xFFFFFFFF ? static_cast<std::uint32_t>(at) : 0;
    char block[kTallyBlockSpaces + 2];
    std::memset(block, ' ', kTallyBlockSpaces);
    std::memcpy(block + kTallyBlockSpaces, kLineEnd, 2);
    log.write(block, sizeof block);
}

}  // namespace kervale
