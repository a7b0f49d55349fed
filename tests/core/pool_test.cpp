#include "core/pool.h"

#include "core/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The destroy callback has no context of its own, so each record carries the
// log its destruction is written to.
struct PoolTestRecord {
    PoolItem header;
    int id;
    std::vector<int>* destroyed;
};

void PoolTestDestroy(PoolItem* item) {
    auto* record = reinterpret_cast<PoolTestRecord*>(item);
    if (record->destroyed) record->destroyed->push_back(record->id);
}

}  // namespace

class PoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        pool.Init();
        pool.itemSize = sizeof(PoolTestRecord);
        pool.ReleasesWith<&PoolTestDestroy>();
    }
    void TearDown() override {
        pool.DeleteAll();
        SetListInsertPosition(2);
        SetAllocFailureAfter(-1);
    }
    PoolTestRecord* Add(int id) {
        auto* r = pool.AddNewAs<PoolTestRecord>(1);
        if (r) {
            r->id = id;
            r->destroyed = &destroyed;
        }
        return r;
    }
    // A record allocated but not yet linked.
    PoolTestRecord* Allocate(int type, int id) {
        auto* r = reinterpret_cast<PoolTestRecord*>(pool.AllocateItem(type));
        r->id = id;
        r->destroyed = &destroyed;
        return r;
    }
    // Ids in list order, checking the back links on the way.
    std::vector<int> Ids() const {
        std::vector<int> ids;
        const PoolItem* prev = nullptr;
        for (const PoolItem* p = pool.first; p; p = p->next) {
            EXPECT_EQ(p->prev, prev);
            ids.push_back(reinterpret_cast<const PoolTestRecord*>(p)->id);
            prev = p;
        }
        EXPECT_EQ(pool.last, prev);
        EXPECT_EQ(static_cast<int>(ids.size()), pool.count);
        return ids;
    }
    std::vector<int> destroyed;
    ObjectPool pool;
};

TEST_F(PoolTest, InsertionSwitchChoosesHeadOrTail) {
    SetListInsertPosition(1);
    Add(1), Add(2), Add(3);
    EXPECT_EQ(Ids(), (std::vector<int>{3, 2, 1}));
    SetListInsertPosition(2);
    Add(4);
    EXPECT_EQ(Ids(), (std::vector<int>{3, 2, 1, 4}));
}

TEST_F(PoolTest, LinkingAndDeleting) {
    PoolTestRecord* a = Add(1);
    PoolTestRecord* c = Add(3);
    PoolTestRecord* b = Allocate(7, 2);
    EXPECT_EQ(b->header.type, 7);
    pool.InsertBefore(&c->header, &b->header);
    PoolTestRecord* z = Allocate(1, 0);
    pool.InsertBefore(nullptr, &z->header);
    PoolTestRecord* d = Allocate(1, 4);
    pool.InsertAfter(nullptr, &d->header);
    EXPECT_EQ(Ids(), (std::vector<int>{0, 1, 2, 3, 4}));

    EXPECT_EQ(pool.Unlink(&b->header), &c->header);
    EXPECT_EQ(Ids(), (std::vector<int>{0, 1, 3, 4}));
    pool.InsertAfter(&a->header, &b->header);
    EXPECT_EQ(Ids(), (std::vector<int>{0, 1, 2, 3, 4}));

    EXPECT_EQ(pool.Delete(&d->header), nullptr);
    EXPECT_EQ(pool.Delete(nullptr), nullptr);
    pool.DeleteFrom(&b->header);
    EXPECT_EQ(Ids(), (std::vector<int>{0, 1}));
    EXPECT_EQ(destroyed, (std::vector<int>{4, 2, 3}));
    pool.DeleteFrom(pool.first);
    EXPECT_EQ(pool.first, nullptr);
    EXPECT_EQ(pool.last, nullptr);
    EXPECT_EQ(pool.count, 0);
}

TEST_F(PoolTest, DeletingOnlyRecordEmptiesPool) {
    PoolTestRecord* a = Add(1);
    pool.Delete(&a->header);
    EXPECT_EQ(pool.first, nullptr);
    EXPECT_EQ(pool.last, nullptr);
    EXPECT_EQ(pool.count, 0);
}

TEST_F(PoolTest, ChunkStorageOpensChunksAndDestroysLiveRecordsOnce) {
    pool.EnablePooling(100);
    std::vector<PoolTestRecord*> records;
    for (int i = 0; i < 101; ++i) records.push_back(Add(i));
    EXPECT_EQ(pool.chunkCount, 2);
    EXPECT_EQ(pool.usedInLastChunk, 1);
    pool.Delete(&records[5]->header);  // dead, keeps its slot
    pool.Unlink(&records[7]->header);  // unlinked only: still destroyed at the end
    EXPECT_EQ(records[5]->header.type, kPoolItemDead);
    EXPECT_EQ(pool.count, 99);
    destroyed.clear();
    pool.DeleteAll();
    EXPECT_EQ(destroyed.size(), 100u);
    EXPECT_EQ(std::count(destroyed.begin(), destroyed.end(), 7), 1);
    EXPECT_EQ(std::count(destroyed.begin(), destroyed.end(), 5), 0);
    EXPECT_EQ(pool.chunkCount, 0);
    EXPECT_EQ(pool.chunks, nullptr);
    EXPECT_EQ(pool.first, nullptr);
    EXPECT_EQ(pool.count, 0);
}

TEST_F(PoolTest, OutOfMemoryGivesNullAndLeavesPoolIntact) {
    Add(1);
    SetAllocFailureAfter(0);
    EXPECT_EQ(Add(2), nullptr);
    SetAllocFailureAfter(-1);
    EXPECT_EQ(Ids(), (std::vector<int>{1}));

    ObjectPool chunked;
    chunked.Init();
    chunked.itemSize = sizeof(PoolTestRecord);
    chunked.EnablePooling(2);
    SetAllocFailureAfter(1);  // the chunk array grows, the chunk itself fails
    EXPECT_EQ(chunked.AddNew(1), nullptr);
    SetAllocFailureAfter(-1);
    EXPECT_EQ(chunked.chunkCount, 0);
    EXPECT_NE(chunked.AddNew(1), nullptr);
    EXPECT_EQ(chunked.count, 1);
    chunked.DeleteAll();
}

namespace {

// A record that needs construction: its text is an RAII string, and it counts
// its constructions and destructions.
struct PoolTestOwner : PoolItem {
    std::string text = "fresh";
    int id;
    static inline int constructed = 0;
    static inline int destructed = 0;
    static inline std::vector<std::string> order;
    PoolTestOwner() { ++constructed; }
    ~PoolTestOwner() {
        ++destructed;
        order.push_back("destructor " + text);
    }
};
void PoolTestOwnerRelease(PoolItem* item) {
    PoolTestOwner::order.push_back("release " + static_cast<PoolTestOwner*>(item)->text);
}

static_assert(ObjectPool::kPoolRecordIsPlain<PoolTestRecord>);
static_assert(!ObjectPool::kPoolRecordIsPlain<PoolTestOwner>);

}  // namespace

// Records that need construction are constructed in place (value-initialised:
// header and plain fields zero) and destroyed once, after the destroy callback,
// in heap and in chunk storage; a dead chunk slot is never destroyed again.
TEST(PoolConstructedTest, RecordsAreConstructedAndDestroyedOnce) {
    for (bool chunked : {false, true}) {
        SCOPED_TRACE(chunked ? "chunk storage" : "heap blocks");
        PoolTestOwner::constructed = PoolTestOwner::destructed = 0;
        PoolTestOwner::order.clear();
        ObjectPool pool;
        pool.Init();
        pool.Holds<PoolTestOwner, &PoolTestOwnerRelease>();
        if (chunked) pool.EnablePooling(2);
        EXPECT_EQ(pool.itemSize, sizeof(PoolTestOwner));

        std::vector<PoolTestOwner*> records;
        for (int i = 0; i < 3; ++i) {
            PoolTestOwner* r = pool.AddNewConstructed<PoolTestOwner>(5);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(r->text, "fresh");
            EXPECT_EQ(r->id, 0);
            EXPECT_EQ(r->type, 5);
            r->text = "record " + std::to_string(i) + std::string(40, '.');  // on the heap
            records.push_back(r);
        }
        EXPECT_EQ(PoolTestOwner::constructed, 3);
        EXPECT_EQ(pool.count, 3);

        pool.Delete(records[1]);
        EXPECT_EQ(PoolTestOwner::destructed, 1);
        const std::string second = "record 1" + std::string(40, '.');
        EXPECT_EQ(PoolTestOwner::order, (std::vector<std::string>{"release " + second, "destructor " + second}));
        pool.DeleteAll();
        EXPECT_EQ(PoolTestOwner::destructed, 3);
        EXPECT_EQ(pool.count, 0);
    }
}

namespace {

class PoolTestDoc : public ListNode {
public:
    explicit PoolTestDoc(std::string n, std::vector<std::string>* closed = nullptr) : name(std::move(n)), log(closed) {}
    void CloseFromList() override {
        if (log) log->push_back(name);
    }
    std::string name;
    std::vector<std::string>* log;
};

std::vector<std::string> PoolTestNames(const ObjectList& list, bool windows) {
    std::vector<std::string> names;
    for (ListNode* p = list.first; p; p = windows ? p->windowLink.next : p->documentLink.next)
        names.push_back(static_cast<PoolTestDoc*>(p)->name);
    return names;
}

}  // namespace

TEST(PoolListTest, DocumentAndWindowListsAreIndependent) {
    PoolTestDoc a("a"), b("b"), c("c");
    ObjectList documents, windows;
    documents.Init();
    windows.Init();
    documents.AddDocument(&a);
    documents.AddDocument(&b);
    SetListInsertPosition(1);
    documents.AddDocument(&c);
    SetListInsertPosition(2);
    documents.AddDocument(&a);  // already listed: nothing changes
    EXPECT_EQ(PoolTestNames(documents, false), (std::vector<std::string>{"c", "a", "b"}));
    EXPECT_EQ(documents.count, 3);

    windows.AddWindow(&b);
    windows.AddWindow(&a);
    EXPECT_EQ(PoolTestNames(windows, true), (std::vector<std::string>{"b", "a"}));

    EXPECT_EQ(documents.RemoveDocument(&a), &b);
    EXPECT_EQ(a.documentLink.next, nullptr);
    EXPECT_EQ(a.documentLink.prev, nullptr);
    EXPECT_EQ(documents.RemoveDocument(&a), nullptr);  // not in the list
    EXPECT_EQ(PoolTestNames(documents, false), (std::vector<std::string>{"c", "b"}));
    EXPECT_EQ(documents.count, 2);
    EXPECT_TRUE(windows.ContainsWindow(&a));
    EXPECT_EQ(windows.RemoveWindow(&c), nullptr);
    EXPECT_EQ(windows.count, 2);
}

TEST(PoolListTest, DeleteAllWindowsClosesEveryWindowInOrder) {
    std::vector<std::string> closed;
    PoolTestDoc a("a", &closed), b("b", &closed), c("c", &closed);
    ObjectList windows;
    windows.AddWindow(&a);
    windows.AddWindow(&b);
    windows.AddWindow(&c);
    windows.DeleteAllWindows();
    EXPECT_EQ(closed, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(windows.first, nullptr);
    EXPECT_EQ(windows.last, nullptr);
    EXPECT_EQ(windows.count, 0);
    EXPECT_EQ(a.windowLink.next, nullptr);
}
