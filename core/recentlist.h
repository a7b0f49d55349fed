// Most-recent-first lists of texts: recent files, recent components, and the
// remembered entries of combo boxes (search texts, expressions, names).
//
// A list has a fixed number of slots (at most 20); using a text moves it to the
// front and the oldest entry drops off. Lists are stored in the settings file as
// numbered keys ("FILE_1", "FILE_2", ...) in a section of their own.
#pragma once

#include <cstdint>

class SectionFile;

class RecentList {
public:
    static constexpr int kMaxSlots = 20;

    RecentList() = default;
    ~RecentList();
    RecentList(const RecentList&) = delete;
    RecentList& operator=(const RecentList&) = delete;

    // Stores the prefixes (copied, at most 31 characters) and the kind of the
    // second field (true: a text, false: a value written as one character), empties
    // every slot and resizes to n.
    void Init(int n, const char* keyPrefix, const char* secondKeyPrefix = nullptr, bool secondIsText = false);
    // n above 20 counts as 20; n of 0 or less is ignored. Slots from n on are freed.
    void Resize(int n);
    // Frees every slot; the count becomes 0.
    void Clear();
    // Puts the text at the front. An entry equal to it (without case) or, when none,
    // the last slot leaves the list; the count stays as it is.
    void Add(const char* text, int32_t value = 0, const char* secondText = nullptr);
    // A key "<prefix><n>" sets slot n-1's text (growing the list up to 20 slots).
    // 1 for any key with the prefix (used or ignored), 0 for other keys.
    int ReadKey(const char* key, const char* value);
    // Writes or reads the list's section by the file's mode. The count key is "Max",
    // or "<prefix>Max" when `prefixedCountKey`.
    int Serialize(SectionFile& file, bool prefixedCountKey);

    int Count() const { return count_; }
    // The text of a slot, or null for an empty slot or an index out of range.
    const char* Text(int index) const;
    const char* SecondText(int index) const;
    int32_t Value(int index) const;
    const char* KeyPrefix() const { return keyPrefix_; }

private:
    void FreeSlot(int index);
    void GrowTo(int n);

    int count_ = 0;
    char* texts_[kMaxSlots] = {};
    char* secondTexts_[kMaxSlots] = {};
    int32_t values_[kMaxSlots] = {};
    char keyPrefix_[32] = {};
    char secondKeyPrefix_[32] = {};
    bool secondIsText_ = false;
};

// The recent-files list ("FILE_", 10 slots, section [Last Loaded Files]) and the
// recent-components list ("COMPONENT_", 10 slots, section [Last Used Components]).
RecentList& RecentFiles();
RecentList& RecentComponents();
// Sets both lists up at start-up.
void InitRecentLists();
// Empties both lists (at the end of the program).
void FreeRecentLists();
// Frees the texts of the recent-components list's slots; the count stays (the
// program defaults).
void ClearRecentComponents();

// The [Last Loaded Files] section of tarn.dat.
int SerializeLastLoadedFiles(SectionFile& file);
