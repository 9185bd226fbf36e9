#include "LineWriter.h"

#include <cassert>
#include <cstdio>
#include <cstring>

#include "TimeStamp.h"

namespace kervale {

namespace {

// The line prefix: 11 separators and the fields type to stamp at their printed widths, which no
// converted record exceeds (type below 1000, bytes in 2 hex digits, 16-bit fields in 4, unit 3,
// label 12, stamp 19).
constexpr int kPrefixLength = 11 + 3 + 2 + 3 + 4 + 2 + 2 + 4 + 4 + 4 + 12 + 19;
static_assert(kPrefixLength == 70);

// After the prefix: "|", the data length, "|", the data and "|".
constexpr int kFixedLength = kPrefixLength + 5;
constexpr int kMaxDataChars = 254;  // 255 characters of printable data less the kind byte
constexpr int kMaxLineLength = kFixedLength + kMaxDataChars;
static_assert(kMaxLineLength == 329);

// Only a damaged record has a type of 1000 or more: at most two digits more than the prefix
// allows, so the buffer still holds every line whole.
constexpr int kLineBuffer = kMaxLineLength + 2 + 1;

constexpr int kWrapColumn = 80;
constexpr char kKindNoData = 4;
constexpr std::uint32_t kNoPosition = 0xFFFFFFFF;  // the position could not be taken

// The tally block that the header reserves: 512 spaces and a line end.
constexpr std::int64_t kTallyBlockBytes = 512 + 2;

// Where the separators of a record line stand within its first kFixedLength characters.
constexpr int kSeparatorColumns[] = {0, 4, 7, 11, 16, 19, 22, 27, 32, 37, 50, 70, 73};
// Columns from the level to the second value, and of the label, with their separators: the
// fields that record equality compares, printed.
constexpr int kComparedFrom = 4, kComparedTo = 33;
constexpr int kLabelFrom = 37, kLabelTo = 51;

// Characters before the first NUL, looking at no more than `most` of them.
std::size_t boundedLength(const char* text, std::size_t most) {
    const void* nul = std::memchr(text, '\0', most);
    return nul == nullptr ? most : static_cast<std::size_t>(static_cast<const char*>(nul) - text);
}

// Bounded copy of a text field: whatever the record holds, at most N - 1 characters and a NUL.
template <std::size_t N>
void boundedText(char (&out)[N], const char* text, std::size_t most) {
    const std::size_t n = boundedLength(text, most < N - 1 ? most : N - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
}

// The text fields of a record as they are printed. A record may come from the shared area, which
// another process can have damaged, so nothing in it is trusted to be terminated.
struct PrintedFields {
    char unit[4];
    char label[13];
    char stamp[20];
    char data[kMaxDataChars + 2];

    PrintedFields(const LogRecord& record, const char* stampText) {
        boundedText(unit, record.unit, 3);
        boundedText(label, record.label, 12);
        boundedText(stamp, stampText, 19);
        boundedText(data, record.data, record.dataLen);
    }
};

// Removes the kind byte from the record, which keeps the stripped form. Gives the kind.
char stripKind(LogRecord& record) {
    if (record.dataLen == 0) return kKindNoData;
    const char kind = record.data[0];
    const std::size_t moved = boundedLength(record.data + 1, record.dataLen - 1u);
    std::memmove(record.data, record.data + 1, moved);
    record.data[moved] = '\0';
    --record.dataLen;
    return kind;
}

int checkedLength(int n) {
    assert(n >= 0 && n < kLineBuffer);
    if (n < 0) return 0;
    return n < kLineBuffer ? n : kLineBuffer - 1;
}

int formatFullLine(char (&line)[kLineBuffer], const LogRecord& r) {
    const PrintedFields f(r, r.stamp);
    return checkedLength(std::snprintf(
        line, sizeof line, "|%03d|%2X|%3s|%04X|%02X|%02X|%04X|%04X|%04X|%12s|%s|%02X|%s|",
        static_cast<int>(r.msgType), static_cast<unsigned>(r.level), f.unit,
        static_cast<unsigned>(r.amount), static_cast<unsigned>(r.code1),
        static_cast<unsigned>(r.code2), static_cast<unsigned>(r.value1),
        static_cast<unsigned>(r.value2), static_cast<unsigned>(r.repeats), f.label, f.stamp,
        static_cast<unsigned>(r.dataLen), f.data));
}

int formatPrefix(char (&line)[kLineBuffer], const LogRecord& r, const char* stamp) {
    const PrintedFields f(r, stamp);
    return checkedLength(std::snprintf(
        line, sizeof line, "|%03d|%2X|%3s|%04X|%02X|%02X|%04X|%04X|%04X|%12s|%s",
        static_cast<int>(r.msgType), static_cast<unsigned>(r.level), f.unit,
        static_cast<unsigned>(r.amount), static_cast<unsigned>(r.code1),
        static_cast<unsigned>(r.code2), static_cast<unsigned>(r.value1),
        static_cast<unsigned>(r.value2), static_cast<unsigned>(r.repeats), f.label, f.stamp));
}

bool writePiece(BufferedFile& log, const char* text, int length) {
    log.write(text, static_cast<std::size_t>(length));
    return log.write(kLineEnd, sizeof kLineEnd - 1);
}

Status writeFullLine(ServerState& state, const LogRecord& record, char kind) {
    char line[kLineBuffer];
    const int length = formatFullLine(line, record);

    BufferedFile& log = state.log;
    log.seekEnd();  // also after a collapse update earlier in the same message
    const std::int64_t at = log.tell();
    state.area->lastLinePos =
        at < 0 || at >= kNoPosition ? kNoPosition : static_cast<std::uint32_t>(at);

    bool ok = true;
    if (kind == kKindTextNoWrap || length <= kWrapColumn) {
        ok = writePiece(log, line, length);
    } else {
        for (int from = 0; from < length; from += kWrapColumn) {
            const int rest = length - from;
            ok = writePiece(log, line + from, rest < kWrapColumn ? rest : kWrapColumn);
        }
    }
    return ok ? kOk : kWriteFailed;
}

// Whether `prefix` may be written over the log at lastLinePos. The position is only a number in
// the shared area: it may belong to another file (after a rotation, or a log replaced from
// outside), or to a line whose write failed, or be unknown. Writing there blindly could break the
// header, leave a prefix without a line end, or open a gap, so the line is checked first, with one
// small read: it must lie after the tally block when that is known (no header line is touched),
// start a line (file start or after "\n"), have no line end within the fixed part of a record line
// (so the 70 characters never reach one), carry the separators of a record line, and show the
// fields that record equality compares as this record prints them (it is the line of an equal
// record, not some other line that happens to look like one).
bool collapseTargetValid(ServerState& state, const char (&prefix)[kLineBuffer], int prefixLength) {
    if (prefixLength != kPrefixLength) return false;  // a damaged type, too wide
    const SharedArea& area = *state.area;
    const std::int64_t at = area.lastLinePos;
    if (area.lastLinePos == kNoPosition) return false;
    if (area.tallyPos != 0 && at < std::int64_t{area.tallyPos} + kTallyBlockBytes) return false;
    BufferedFile& log = state.log;
    if (at + kFixedLength > log.length()) return false;

    if (at > 0) {
        char before[2];
        if (!log.seek(at - 1) || !log.readLine(before, sizeof before) || before[0] != '\n')
            return false;
    }
    char head[kFixedLength + 1];
    if (!log.seek(at) || !log.readLine(head, sizeof head)) return false;
    if (std::strlen(head) != kFixedLength || std::strpbrk(head, "\r\n") != nullptr) return false;
    for (const int column : kSeparatorColumns)
        if (head[column] != '|') return false;
    return std::memcmp(head + kComparedFrom, prefix + kComparedFrom, kComparedTo - kComparedFrom) ==
               0 &&
           std::memcmp(head + kLabelFrom, prefix + kLabelFrom, kLabelTo - kLabelFrom) == 0;
}

Status writeCollapseUpdate(ServerState& state, const LogRecord& record, char kind) {
    char stamp[20];
    makeStamp(state, stamp);
    char prefix[kLineBuffer];
    const int length = formatPrefix(prefix, record, stamp);

    // A line that cannot take the update gets the record as a full line instead. It keeps the
    // caller's repeats, so the run's count goes on rising on the new line, where later updates go.
    if (!collapseTargetValid(state, prefix, length)) return writeFullLine(state, record, kind);

    BufferedFile& log = state.log;
    log.seek(state.area->lastLinePos);
    return log.write(prefix, static_cast<std::size_t>(length)) ? kOk : kWriteFailed;
}

}  // namespace

Status writeLine(ServerState& state, LogRecord& record, std::int16_t form) {
    const char kind = stripKind(record);
    switch (form) {
        case kFullLine:
            return writeFullLine(state, record, kind);
        case kCollapseUpdate:
            return writeCollapseUpdate(state, record, kind);
        default:
            return kWriteFailed;
    }
}

}  // namespace kervale
