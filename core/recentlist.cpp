#include "core/recentlist.h"

#include <strings.h>
#include <cstdlib>
#include <cstring>

#include "core/memory.h"
#include "core/result.h"
#include "core/sectionfile.h"

namespace {

// The slot number after a key prefix: -1 when the key does not start with the
// prefix (without case) or nothing numeric follows it.
int rl_SlotNumber(const char* key, const char* prefix) {
    size_t length = strlen(prefix);
    if (length == 0 || strncasecmp(key, prefix, length) != 0) return -1;
    return atoi(key + length);
}

// "<prefix>MAX" without case: the count key of a list in a shared section.
bool rl_IsPrefixedMax(const char* key, const char* prefix) {
    size_t length = strlen(prefix);
    return length > 0 && strncasecmp(key, prefix, length) == 0 && strcasecmp(key + length, "MAX") == 0;
}

}  // namespace

RecentList::~RecentList() {
    for (int i = 0; i < kMaxSlots; i++) FreeSlot(i);
}

void RecentList::Init(int n, const char* keyPrefix, const char* secondKeyPrefix, bool secondIsText) {
    CopyTextBounded(keyPrefix_, keyPrefix ? keyPrefix : "", sizeof keyPrefix_);
    CopyTextBounded(secondKeyPrefix_, secondKeyPrefix ? secondKeyPrefix : "", sizeof secondKeyPrefix_);
    secondIsText_ = secondIsText;
    for (int i = 0; i < kMaxSlots; i++) FreeSlot(i);
    count_ = 0;
    Resize(n);
}

void RecentList::FreeSlot(int index) {
    FreeString(&texts_[index]);
    FreeString(&secondTexts_[index]);
    values_[index] = 0;
}

void RecentList::Resize(int n) {
    if (n <= 0) return;
    if (n > kMaxSlots) n = kMaxSlots;
    for (int i = n; i < count_; i++) FreeSlot(i);
    count_ = n;
}

void RecentList::GrowTo(int n) {
    if (n > count_) Resize(n);
}

void RecentList::Clear() {
    for (int i = 0; i < count_; i++) {
        FreeString(&texts_[i]);
        FreeString(&secondTexts_[i]);
    }
    count_ = 0;
}

void RecentList::Add(const char* text, int32_t value, const char* secondText) {
    if (count_ <= 0) return;
    if (text == nullptr) text = "";
    // Copy first: the text may be one of the slots that are about to move or go.
    char* copy = DuplicateString(text);
    char* secondCopy = secondText ? DuplicateString(secondText) : nullptr;
    if (copy == nullptr || (secondText != nullptr && secondCopy == nullptr)) {
        MemFree(copy);
        MemFree(secondCopy);
        return;
    }
    int leaving = count_ - 1;
    for (int i = 0; i < count_; i++) {
        if (texts_[i] == nullptr) texts_[i] = SharedEmptyString();
        if (strcasecmp(texts_[i], text) == 0) {
            leaving = i;
            break;
        }
    }
    FreeSlot(leaving);
    for (int i = leaving; i > 0; i--) {
        texts_[i] = texts_[i - 1];
        secondTexts_[i] = secondTexts_[i - 1];
        values_[i] = values_[i - 1];
    }
    texts_[0] = copy;
    secondTexts_[0] = secondCopy;
    values_[0] = value;
}

int RecentList::ReadKey(const char* key, const char* value) {
    size_t length = strlen(keyPrefix_);
    if (length == 0 || strncasecmp(key, keyPrefix_, length) != 0) return 0;
    int n = atoi(key + length);
    // Keys of slots the list cannot hold are taken and dropped.
    if (n < 1 || n > kMaxSlots) return 1;
    GrowTo(n);
    SetString(&texts_[n - 1], value ? value : "");
    return 1;
}

int RecentList::Serialize(SectionFile& file, bool prefixedCountKey) {
    if (file.IsWriting()) {
        char key[64];
        if (prefixedCountKey)
            FormatBounded(key, sizeof key, "%sMax", keyPrefix_);
        else
            CopyTextBounded(key, "Max", sizeof key);
        int result = file.WriteIntKey(key, count_);
        for (int i = 0; i < count_; i++) {
            if (texts_[i] == nullptr || texts_[i][0] == 0) continue;
            FormatBounded(key, sizeof key, "%s%d", keyPrefix_, i + 1);
            result = file.WriteKey(key, texts_[i]);
        }
        if (secondKeyPrefix_[0] != 0) {
            for (int i = 0; i < count_; i++) {
                FormatBounded(key, sizeof key, "%s%d", secondKeyPrefix_, i + 1);
                if (secondIsText_) {
                    if (secondTexts_[i] != nullptr && secondTexts_[i][0] != 0)
                        result = file.WriteKey(key, secondTexts_[i]);
                } else if (values_[i] != 0) {
                    char one[2] = {static_cast<char>(values_[i]), 0};
                    result = file.WriteKey(key, one);
                }
            }
        }
        return result;
    }
    char line[520];
    char key[64];
    char value[520];
    while (file.ReadEntry(line, sizeof line)) {
        SplitKeyValue(line, key, sizeof key, value, sizeof value);
        if (strcmp(key, "MAX") == 0 || (prefixedCountKey && rl_IsPrefixedMax(key, keyPrefix_))) {
            Resize(atoi(value));
            continue;
        }
        if (ReadKey(key, value)) continue;
        int n = secondKeyPrefix_[0] != 0 ? rl_SlotNumber(key, secondKeyPrefix_) : -1;
        if (n < 1 || n > kMaxSlots) continue;
        GrowTo(n);
        if (secondIsText_)
            SetString(&secondTexts_[n - 1], value);
        else
            values_[n - 1] = static_cast<unsigned char>(value[0]);
    }
    return file.error;
}

const char* RecentList::Text(int index) const {
    if (index < 0 || index >= count_) return nullptr;
    const char* text = texts_[index];
    return text != nullptr && text[0] != 0 ? text : nullptr;
}

const char* RecentList::SecondText(int index) const {
    if (index < 0 || index >= count_) return nullptr;
    return secondTexts_[index];
}

int32_t RecentList::Value(int index) const {
    if (index < 0 || index >= count_) return 0;
    return values_[index];
}

RecentList& RecentFiles() {
    static RecentList list;
    return list;
}

RecentList& RecentComponents() {
    static RecentList list;
    return list;
}

void InitRecentLists() {
    RecentFiles().Init(10, "FILE_");
    RecentComponents().Init(10, "COMPONENT_");
}

void FreeRecentLists() {
    RecentFiles().Clear();
    RecentComponents().Clear();
}

void ClearRecentComponents() {
    RecentList& list = RecentComponents();
    int count = list.Count();
    list.Clear();
    list.Resize(count);
}

int SerializeLastLoadedFiles(SectionFile& file) { return RecentFiles().Serialize(file, false); }
