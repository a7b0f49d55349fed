// Object pools (intrusive lists of fixed-size records) and object lists (the
// document list and the analysis-window lists).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

// Where new records go: 1 links them at the head of a list, any other value
// (2 initially) at the tail. Callers that insert at the head set 1, insert, and
// set 2 again.
void SetListInsertPosition(int value);
int ListInsertPosition();

// ---- object pools -------------------------------------------------------------

// The header every pool record begins with: a record is a struct whose first
// member is a PoolItem, or that derives from PoolItem. Records are made in
// zeroed memory. A plain record (no constructor, no destructor) is used as it
// is; a record that needs construction (a member with a constructor, such as an
// RAII string) is constructed in place and destroyed with its destructor, for
// which its pool must hold it through Holds<T>(). AddNewAs refuses such a
// record at compile time unless asked for it as constructed.
struct PoolItem {
    PoolItem* next;
    PoolItem* prev;
    int32_t type;  // set by the owner; -1 marks a dead record
};
constexpr int32_t kPoolItemDead = -1;

template <class T>
inline constexpr bool PoolRecordIsPlain =
    std::is_trivially_default_constructible_v<T>&& std::is_trivially_destructible_v<T>;

// What a pool does with its records beyond their bytes. A record type that
// owns memory says once how a record is released; one that needs construction
// how it is made in its zeroed storage and ended. Pools share the description.
class PoolRecordType {
public:
    // Releases what a record owns, just before it is freed or marked dead.
    virtual void Release(PoolItem* item) const = 0;
    virtual bool NeedsConstruction() const = 0;
    virtual void Construct(PoolItem* item) const = 0;
    // Runs after Release.
    virtual void Destruct(PoolItem* item) const = 0;

protected:
    ~PoolRecordType() = default;
};

// The description of records of type T released by `ReleaseFn` (a function of
// a PoolItem*, or nullptr when they own nothing beyond their members).
template <class T, auto ReleaseFn = nullptr>
class PoolRecordOf final : public PoolRecordType {
public:
    static const PoolRecordOf& Instance() {
        static const PoolRecordOf type;
        return type;
    }
    void Release(PoolItem* item) const override {
        if constexpr (!std::is_same_v<decltype(ReleaseFn), std::nullptr_t>) ReleaseFn(item);
        (void)item;
    }
    bool NeedsConstruction() const override { return !PoolRecordIsPlain<T>; }
    void Construct(PoolItem* item) const override {
        if constexpr (!PoolRecordIsPlain<T>) ::new (static_cast<void*>(item)) T();
        (void)item;
    }
    void Destruct(PoolItem* item) const override {
        if constexpr (!PoolRecordIsPlain<T>) static_cast<T*>(item)->~T();
        (void)item;
    }
};

// A doubly linked list of records of `itemSize` bytes (header included). Each
// record is its own heap block, or, after EnablePooling, a slot of a chunk of
// `chunkSize` records; chunk slots are never reused and a deleted record stays
// in its slot, marked dead, until DeleteAll. The owner sets itemSize and the
// record type after Init and empties the pool with DeleteAll when it goes away.
struct ObjectPool {
    PoolItem* first = nullptr;
    PoolItem* last = nullptr;
    size_t itemSize = 0;
    int count = 0;
    // How records are released, and made and ended when they need
    // construction; null for plain records that own nothing.
    const PoolRecordType* recordType = nullptr;
    int chunked = 0;
    int chunkSize = 100;
    int chunkCount = 0;
    int usedInLastChunk = 0;
    char** chunks = nullptr;

    void Init();
    // Switches to chunk storage with n records per chunk; only before the first
    // record is made (ignored afterwards).
    void EnablePooling(int n);
    // A zeroed record with its type set, not linked; null when out of memory.
    PoolItem* AllocateItem(int32_t type);
    // AllocateItem and Link; null when out of memory.
    PoolItem* AddNew(int32_t type);
    // Links at the head or the tail by the insertion switch.
    void Link(PoolItem* item);
    void Append(PoolItem* item);
    // With no reference: at the head (InsertBefore) or the tail (InsertAfter).
    void InsertBefore(PoolItem* reference, PoolItem* item);
    void InsertAfter(PoolItem* reference, PoolItem* item);
    // Takes a linked record out without destroying it; returns its successor.
    PoolItem* Unlink(PoolItem* item);
    // Unlinks, destroys and frees (or marks dead) a linked record; returns its
    // successor.
    PoolItem* Delete(PoolItem* item);
    // Deletes the record and every record after it.
    void DeleteFrom(PoolItem* item);
    // Destroys every record (in chunk storage also records that were unlinked
    // but not deleted) and frees all storage.
    void DeleteAll();

    // Makes the pool hold records of type T: their size, for a T that needs
    // construction the construction in place (value-initialised, so the header
    // and plain fields start at zero) and the destructor when the record goes,
    // and the release of what a record owns when `Release` is given.
    template <class T, auto Release = nullptr>
    void Holds() {
        static_assert(std::is_base_of_v<PoolItem, T>, "a constructed pool record derives from PoolItem");
        itemSize = sizeof(T);
        recordType = &PoolRecordOf<T, Release>::Instance();
    }
    // Records of the size set by the owner, released by `Release`.
    template <auto Release>
    void ReleasesWith() {
        recordType = &PoolRecordOf<PoolItem, Release>::Instance();
    }

    // A new linked record of a plain type; null when out of memory.
    template <class T>
    T* AddNewAs(int32_t type) {
        static_assert(kPoolRecordIsPlain<T>,
                      "a record that needs construction is made by a pool that Holds<T>(), through AddNewConstructed");
        return static_cast<T*>(static_cast<void*>(AddNew(type)));
    }
    // A new linked record of a type the pool Holds<T>(); null when out of memory.
    template <class T>
    T* AddNewConstructed(int32_t type) {
        static_assert(std::is_base_of_v<PoolItem, T>, "a constructed pool record derives from PoolItem");
        return static_cast<T*>(AddNew(type));
    }

    template <class T>
    static constexpr bool kPoolRecordIsPlain = PoolRecordIsPlain<T>;
};

// ---- object lists -------------------------------------------------------------

class ListNode;

struct ListLink {
    ListNode* next = nullptr;
    ListNode* prev = nullptr;
};

// Base of the objects chained by an ObjectList (the document base). The links
// live in the object: one pair for the document list and one for the
// analysis-window lists, so an object can be on both.
class ListNode {
public:
    ListNode() = default;
    ListNode(const ListNode&) = delete;
    ListNode& operator=(const ListNode&) = delete;
    virtual ~ListNode() = default;

    // The document's own close operation, used when a window list is emptied
    // with DeleteAllWindows. It may destroy the object.
    virtual void CloseFromList() = 0;

    ListLink documentLink;
    ListLink windowLink;
};

// The head of a list of ListNodes; owns nothing. The document list is chained
// through documentLink, an analysis-window list through windowLink.
struct ObjectList {
    ListNode* first = nullptr;
    ListNode* last = nullptr;
    int count = 0;

    void Init();
    // Links at the head or the tail by the insertion switch; nothing when the
    // object is already in the list.
    void AddDocument(ListNode* document);
    // Unlinks and clears the object's links; returns its successor, or null
    // (changing nothing) when the object is not in the list.
    ListNode* RemoveDocument(ListNode* document);
    bool ContainsDocument(const ListNode* document) const;
    void AddWindow(ListNode* window);
    ListNode* RemoveWindow(ListNode* window);
    bool ContainsWindow(const ListNode* window) const;
    // Unlinks the head and closes it, until the list is empty.
    void DeleteAllWindows();
};
