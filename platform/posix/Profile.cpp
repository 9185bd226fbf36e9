// Initialization files read as the Windows profile calls read them:
// - lines end with LF or CR LF; blanks around section lines, names and values are removed;
// - "[name]" opens a section (up to the last "]"); only the first section of a name is used;
// - "name=value" is a key; lines starting with ";" and lines without "=" are not keys;
// - names match without regard to case; the first of two equal keys wins;
// - a value in matching quotes loses them; values and lists are cut to the caller's buffer.
#include "Profile.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "FileSystem.h"

namespace kervale::platform {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\x1a';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// A C string ends at its first NUL: so does any text taken from the file.
std::string_view cString(std::string_view text) { return text.substr(0, text.find('\0')); }

// A name without a directory lies in the Windows directory. Nothing is kept from a file that
// cannot be read whole.
void loadFile(const char* file, std::string& text) noexcept {
    if (file == nullptr || file[0] == '\0') return;
    char systemPath[1024];
    const bool bare = std::strpbrk(file, "/\\:") == nullptr;
    const int n = std::snprintf(systemPath, sizeof systemPath, "%s%s", bare ? "C:/WINDOWS/" : "",
                                file);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof systemPath) return;
    char path[4096];
    if (!hostPath(systemPath, path, sizeof path)) return;
    std::FILE* in = std::fopen(path, "rb");
    if (in == nullptr) return;
    bool ok = true;
    try {
        char chunk[4096];
        std::size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) text.append(chunk, got);
        ok = std::ferror(in) == 0;
    } catch (...) {
        ok = false;
    }
    std::fclose(in);
    if (!ok)
        text.clear();
    else if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);  // UTF-8 mark
}

// Walks the file line by line. onSection sees every section name; onKey sees the keys of the
// first section named `section` (none when `section` is null) and may return false to stop.
template <class OnSection, class OnKey>
void walk(std::string_view text, const char* section, OnSection onSection, OnKey onKey) {
    enum { before, inside, after } place = before;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty()) continue;

        const std::size_t close = line.rfind(']');
        if (line.front() == '[' && close != std::string_view::npos && close > 0) {
            const std::string_view name = line.substr(1, close - 1);
            onSection(name);
            if (place == inside) place = after;
            if (place == before && section != nullptr && sameName(cString(name), section))
                place = inside;
            continue;
        }
        if (place != inside || line.front() == ';') continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        if (!onKey(trim(line.substr(0, equals)), trim(line.substr(equals + 1)))) return;
    }
}

std::uint32_t copyText(std::string_view text, char* out, std::uint32_t outSize) {
    text = cString(text);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    const std::size_t n = text.size() < outSize ? text.size() : outSize - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

// Appends names to a list: each ended by a NUL, one more NUL after the last. A list that does
// not fit is cut, its last name shortened, and still ends with two NULs.
class NameList {
  public:
    NameList(char* out, std::uint32_t outSize) : out_(out), size_(outSize) {}

    bool add(std::string_view name) {
        if (cut_) return false;
        name = cString(name);
        if (name.empty()) return true;  // an empty name would end the list early
        if (length_ + name.size() + 2 > size_) {
            const std::size_t room = size_ - 2 > length_ ? size_ - 2 - length_ : 0;
            std::memcpy(out_ + length_, name.data(), room);
            length_ += room;
            cut_ = true;
            return false;
        }
        std::memcpy(out_ + length_, name.data(), name.size());
        length_ += name.size();
        out_[length_++] = '\0';
        ++count_;
        return true;
    }

    std::uint32_t finish() {
        if (cut_) {
            out_[size_ - 2] = '\0';
            out_[size_ - 1] = '\0';
            return size_ - 2;
        }
        out_[length_] = '\0';
        return static_cast<std::uint32_t>(length_);
    }

    bool empty() const { return count_ == 0 && !cut_; }

  private:
    char* out_;
    std::uint32_t size_;
    std::size_t length_ = 0;
    std::size_t count_ = 0;
    bool cut_ = false;
};

}  // namespace

std::uint32_t profileString(const char* section, const char* key, const char* defaultValue,
                            char* out, std::uint32_t outSize, const char* file) {
    if (out == nullptr || outSize == 0) return 0;
    // Windows drops trailing blanks of the default.
    std::string_view fallback = defaultValue != nullptr ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);

    std::string text;  // stays empty without a file: every request then gives the default
    loadFile(file, text);

    if (section == nullptr || key == nullptr) {
        if (outSize < 2) {
            out[0] = '\0';
            return 0;
        }
        NameList list(out, outSize);
        if (section == nullptr)
            walk(text, nullptr, [&](std::string_view name) { list.add(name); },
                 [](std::string_view, std::string_view) { return true; });
        else
            walk(text, section, [](std::string_view) {},
                 [&](std::string_view name, std::string_view) { return list.add(name); });
        if (!list.empty()) return list.finish();
        // Nothing listed: the default, followed by the list's second NUL where it fits.
        const std::uint32_t n = copyText(fallback, out, outSize);
        if (n + 1 < outSize) out[n + 1] = '\0';
        return n;
    }

    bool found = false;
    std::uint32_t n = 0;
    walk(text, section, [](std::string_view) {},
         [&](std::string_view name, std::string_view value) {
             if (!sameName(cString(name), key)) return true;
             n = copyText(value, out, outSize);
             found = true;
             return false;
         });
    return found ? n : copyText(fallback, out, outSize);
}

std::uint32_t profileInt(const char* section, const char* key, int defaultValue,
                         const char* file) {
    char text[32];
    if (key == nullptr || profileString(section, key, "", text, sizeof text, file) == 0)
        return static_cast<std::uint32_t>(defaultValue);
    // Leading blanks, an optional sign and the leading digits, wrapping modulo 2^32; no digits
    // give 0.
    const char* p = text;
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    std::uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10u + static_cast<std::uint32_t>(*p - '0');
    return negative ? 0u - value : value;
}

}  // namespace kervale::platform
