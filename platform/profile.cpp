// INI profile files: our own reader and writer, so that row order, comments
// and the case of keys survive, and the file is rewritten whole through a
// temporary file (a failed write leaves the old file as it was).
#include "platform/profile.h"

#include <strings.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "core/desktop.h"

namespace platform {

namespace {

std::string pf_Trim(const std::string& s) {
    size_t b = 0;
    size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool pf_Same(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

// The section name of a "[name]" line, or false.
bool pf_SectionOf(const std::string& line, std::string* name) {
    const std::string t = pf_Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = pf_Trim(t.substr(1, close - 1));
    return true;
}

// Key and value of a "key=value" line, or false (comments, blanks).
bool pf_KeyOf(const std::string& line, std::string* key, std::string* value) {
    const std::string t = pf_Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return false;
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    *key = pf_Trim(t.substr(0, eq));
    if (value) *value = pf_Trim(t.substr(eq + 1));
    return !key->empty();
}

// A text that would break the file's rows if written as a name or value.
bool pf_Unsafe(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos || s.find('\0') != std::string::npos;
}

Profile* pf_appProfile = nullptr;

bool pf_ReadProfileString(const char* section, const char* key, char* out, int size) {
    if (!pf_appProfile || !section || !key || !out || size <= 0) return false;
    if (!pf_appProfile->HasKey(section, key)) return false;
    const std::string v = pf_appProfile->GetString(section, key);
    const size_t n = std::min(v.size(), static_cast<size_t>(size - 1));
    std::memcpy(out, v.data(), n);
    out[n] = '\0';
    return true;
}

// The application's profile, for the core; installed while one is set.
class AppProfilePort final : public ProfilePort {
public:
    bool ReadProfileString(const char* section, const char* key, char* out, int size) override {
        return pf_ReadProfileString(section, key, out, size);
    }
};
AppProfilePort pf_profilePort;

}  // namespace

struct Profile::Impl {
    std::string path;
    std::vector<std::string> lines;

    // Line range of a section: [header, end); false when absent.
    bool FindSection(const std::string& section, size_t* header, size_t* end) const {
        std::string name;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (!pf_SectionOf(lines[i], &name) || !pf_Same(name, section)) continue;
            size_t j = i + 1;
            while (j < lines.size() && !pf_SectionOf(lines[j], &name)) ++j;
            *header = i;
            *end = j;
            return true;
        }
        return false;
    }

    // Line of a key inside a section; false when absent.
    bool FindKey(const std::string& section, const std::string& key, size_t* at) const {
        size_t header = 0;
        size_t end = 0;
        if (!FindSection(section, &header, &end)) return false;
        std::string k;
        for (size_t i = header + 1; i < end; ++i) {
            if (pf_KeyOf(lines[i], &k, nullptr) && pf_Same(k, key)) {
                *at = i;
                return true;
            }
        }
        return false;
    }

    bool Save() const {
        std::string text;
        for (const std::string& l : lines) {
            text += l;
            text += "\r\n";
        }
        const std::string tmp = path + ".tmp";
        {
            std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
            if (!out) return false;
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.flush();
            if (!out) {
                out.close();
                std::remove(tmp.c_str());
                return false;
            }
        }
        if (std::rename(tmp.c_str(), path.c_str()) != 0) {
            std::remove(tmp.c_str());
            return false;
        }
        return true;
    }
};

Profile::Profile(const std::string& path) : impl_(std::make_unique<Impl>()) {
    impl_->path = path;
    Reload();
}

Profile::~Profile() {
    if (pf_appProfile == this) SetAppProfile(nullptr);
}

const std::string& Profile::Path() const { return impl_->path; }

bool Profile::Reload() {
    impl_->lines.clear();
    FILE* f = std::fopen(impl_->path.c_str(), "rb");
    if (!f) return errno == ENOENT;
    std::string text;
    char chunk[4096];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(start, nl - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        impl_->lines.push_back(line);
        start = nl + 1;
    }
    return !failed;
}

std::string Profile::GetString(const std::string& section, const std::string& key, const std::string& fallback) const {
    size_t at = 0;
    if (!impl_->FindKey(section, key, &at)) return fallback;
    std::string k;
    std::string v;
    pf_KeyOf(impl_->lines[at], &k, &v);
    return v;
}

int Profile::GetInt(const std::string& section, const std::string& key, int fallback) const {
    size_t at = 0;
    if (!impl_->FindKey(section, key, &at)) return fallback;
    std::string k;
    std::string v;
    pf_KeyOf(impl_->lines[at], &k, &v);
    const char* s = v.c_str();
    char* end = nullptr;
    errno = 0;
    const long long n = std::strtoll(s, &end, 0);
    if (end == s) return fallback;
    if (errno == ERANGE || n > INT_MAX) return INT_MAX;
    if (n < INT_MIN) return INT_MIN;
    return static_cast<int>(n);
}

bool Profile::HasKey(const std::string& section, const std::string& key) const {
    size_t at = 0;
    return impl_->FindKey(section, key, &at);
}

std::vector<std::string> Profile::Sections() const {
    std::vector<std::string> out;
    std::string name;
    for (const std::string& l : impl_->lines) {
        if (!pf_SectionOf(l, &name)) continue;
        bool seen = false;
        for (const std::string& s : out) seen = seen || pf_Same(s, name);
        if (!seen) out.push_back(name);
    }
    return out;
}

std::vector<std::string> Profile::Keys(const std::string& section) const {
    std::vector<std::string> out;
    size_t header = 0;
    size_t end = 0;
    if (!impl_->FindSection(section, &header, &end)) return out;
    std::string k;
    for (size_t i = header + 1; i < end; ++i)
        if (pf_KeyOf(impl_->lines[i], &k, nullptr)) out.push_back(k);
    return out;
}

bool Profile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    const std::string sec = pf_Trim(section);
    const std::string k = pf_Trim(key);
    // A line break or "=" in a name, or a line break in a value, would make
    // rows that read back as something else.
    if (sec.empty() || k.empty() || pf_Unsafe(sec) || pf_Unsafe(k) || pf_Unsafe(value) ||
        sec.find(']') != std::string::npos || k.find('=') != std::string::npos || k[0] == '[' || k[0] == ';' ||
        k[0] == '#')
        return false;
    const std::string row = k + "=" + value;
    size_t at = 0;
    if (impl_->FindKey(sec, k, &at)) {
        // The stored key keeps the case it was first written with.
        std::string oldKey;
        pf_KeyOf(impl_->lines[at], &oldKey, nullptr);
        impl_->lines[at] = oldKey + "=" + value;
    } else {
        size_t header = 0;
        size_t end = 0;
        if (impl_->FindSection(sec, &header, &end)) {
            // After the section's last row, before trailing blank lines.
            size_t pos = end;
            while (pos > header + 1 && pf_Trim(impl_->lines[pos - 1]).empty()) --pos;
            impl_->lines.insert(impl_->lines.begin() + static_cast<long>(pos), row);
        } else {
            if (!impl_->lines.empty() && !pf_Trim(impl_->lines.back()).empty()) impl_->lines.push_back("");
            impl_->lines.push_back("[" + sec + "]");
            impl_->lines.push_back(row);
        }
    }
    return impl_->Save();
}

bool Profile::WriteInt(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool Profile::RemoveKey(const std::string& section, const std::string& key) {
    size_t at = 0;
    if (!impl_->FindKey(section, key, &at)) return false;
    impl_->lines.erase(impl_->lines.begin() + static_cast<long>(at));
    return impl_->Save();
}

bool Profile::RemoveSection(const std::string& section) {
    size_t header = 0;
    size_t end = 0;
    if (!impl_->FindSection(section, &header, &end)) return false;
    impl_->lines.erase(impl_->lines.begin() + static_cast<long>(header), impl_->lines.begin() + static_cast<long>(end));
    return impl_->Save();
}

void SetAppProfile(Profile* profile) {
    pf_appProfile = profile;
    InstallProfileFile(profile ? &pf_profilePort : nullptr);
}

Profile* AppProfile() { return pf_appProfile; }

}  // namespace platform
