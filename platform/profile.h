// The profile: an INI file of [sections] with key=value rows.
//
// Sections and keys are found without regard to case and keep the case they
// were first written with; rows keep their order, and rows this program does
// not know survive a rewrite. Every write goes to the file at once (CR LF line
// ends), so a crash loses nothing already written.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform {

class Profile {
public:
    // The file need not exist yet; it is made on the first write.
    explicit Profile(const std::string& path);
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    const std::string& Path() const;
    // Reads the file again (changes made by others); false when it cannot be
    // read (a missing file is an empty profile and gives true).
    bool Reload();

    std::string GetString(const std::string& section, const std::string& key, const std::string& fallback = "") const;
    // The value read as a decimal (or 0x hexadecimal) integer; the fallback
    // when the key is missing or its value is not a number.
    int GetInt(const std::string& section, const std::string& key, int fallback = 0) const;
    bool HasKey(const std::string& section, const std::string& key) const;
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(const std::string& section) const;

    // False when the file cannot be written (the value is still kept in memory).
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteInt(const std::string& section, const std::string& key, int value);
    bool RemoveKey(const std::string& section, const std::string& key);
    bool RemoveSection(const std::string& section);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The program's profile, read by the core through its profile hook. Not owned;
// null removes it.
void SetAppProfile(Profile* profile);
Profile* AppProfile();

}  // namespace platform
