// Object pools and object lists.
#include "core/pool.h"

#include "core/memory.h"

namespace {

int g_poolInsertPosition = 2;

// Releases what the record owns, ends its life when it was constructed and
// leaves a dead header in its storage (chunk slots are looked at again).
void pool_Release(ObjectPool& pool, PoolItem* item) {
    if (const PoolRecordType* type = pool.recordType) {
        type->Release(item);
        if (type->NeedsConstruction()) {
            type->Destruct(item);
            item = ::new (static_cast<void*>(item)) PoolItem{nullptr, nullptr, kPoolItemDead};
        }
    }
    item->type = kPoolItemDead;
    if (!pool.chunked) MemFree(item);
}

}  // namespace

void SetListInsertPosition(int value) { g_poolInsertPosition = value; }
int ListInsertPosition() { return g_poolInsertPosition; }

// ---- object pools -------------------------------------------------------------

void ObjectPool::Init() {
    first = last = nullptr;
    itemSize = 0;
    count = 0;
    recordType = nullptr;
    chunked = 0;
    chunkSize = 100;
    chunkCount = 0;
    usedInLastChunk = 0;
    chunks = nullptr;
}

void ObjectPool::EnablePooling(int n) {
    if (first || chunkCount > 0) return;
    chunked = 1;
    chunkSize = n > 0 ? n : 100;
}

PoolItem* ObjectPool::AllocateItem(int32_t type) {
    // A record is at least its header, whatever the owner set.
    size_t size = itemSize < sizeof(PoolItem) ? sizeof(PoolItem) : itemSize;
    PoolItem* item = nullptr;
    if (chunked) {
        if (chunkSize <= 0) chunkSize = 100;
        if (chunkCount == 0 || usedInLastChunk >= chunkSize) {
            void* array = chunks;
            if (!ResizeZeroed(&array, (chunkCount + 1) * sizeof(char*), chunkCount * sizeof(char*))) return nullptr;
            chunks = static_cast<char**>(array);
            void* chunk = nullptr;
            if (!AllocZeroArray(&chunk, static_cast<size_t>(chunkSize), size)) return nullptr;
            chunks[chunkCount++] = static_cast<char*>(chunk);
            usedInLastChunk = 0;
        }
        item = reinterpret_cast<PoolItem*>(chunks[chunkCount - 1] + static_cast<size_t>(usedInLastChunk) * size);
        ++usedInLastChunk;
    } else {
        item = static_cast<PoolItem*>(MemAllocZero(size));
        if (!item) return nullptr;
    }
    if (recordType && recordType->NeedsConstruction()) recordType->Construct(item);
    item->type = type;
    return item;
}

PoolItem* ObjectPool::AddNew(int32_t type) {
    PoolItem* item = AllocateItem(type);
    Link(item);
    return item;
}

void ObjectPool::Link(PoolItem* item) {
    if (ListInsertPosition() == 1)
        InsertBefore(first, item);
    else
        Append(item);
}

void ObjectPool::Append(PoolItem* item) { InsertAfter(last, item); }

void ObjectPool::InsertBefore(PoolItem* reference, PoolItem* item) {
    if (!item) return;
    if (!reference) reference = first;
    item->next = reference;
    item->prev = reference ? reference->prev : nullptr;
    if (item->prev)
        item->prev->next = item;
    else
        first = item;
    if (reference)
        reference->prev = item;
    else
        last = item;
    ++count;
}

void ObjectPool::InsertAfter(PoolItem* reference, PoolItem* item) {
    if (!item) return;
    if (!reference) reference = last;
    item->prev = reference;
    item->next = reference ? reference->next : nullptr;
    if (item->next)
        item->next->prev = item;
    else
        last = item;
    if (reference)
        reference->next = item;
    else
        first = item;
    ++count;
}

PoolItem* ObjectPool::Unlink(PoolItem* item) {
    if (!item) return nullptr;
    PoolItem* next = item->next;
    if (item->prev)
        item->prev->next = next;
    else
        first = next;
    if (next)
        next->prev = item->prev;
    else
        last = item->prev;
    item->next = item->prev = nullptr;
    --count;
    return next;
}

PoolItem* ObjectPool::Delete(PoolItem* item) {
    if (!item) return nullptr;
    PoolItem* next = Unlink(item);
    pool_Release(*this, item);
    return next;
}

void ObjectPool::DeleteFrom(PoolItem* item) {
    if (!item) return;
    last = item->prev;
    if (last)
        last->next = nullptr;
    else
        first = nullptr;
    while (item) {
        PoolItem* next = item->next;
        pool_Release(*this, item);
        --count;
        item = next;
    }
}

void ObjectPool::DeleteAll() {
    if (chunked) {
        size_t size = itemSize < sizeof(PoolItem) ? sizeof(PoolItem) : itemSize;
        // Storage order: this reaches records that were unlinked but never
        // deleted as well.
        for (int c = 0; c < chunkCount; ++c) {
            int used = c == chunkCount - 1 ? usedInLastChunk : chunkSize;
            for (int i = 0; i < used; ++i) {
                auto* item = reinterpret_cast<PoolItem*>(chunks[c] + static_cast<size_t>(i) * size);
                if (item->type == kPoolItemDead) continue;
                pool_Release(*this, item);
            }
            MemFree(chunks[c]);
        }
        MemFree(chunks);
        chunks = nullptr;
        chunkCount = 0;
        usedInLastChunk = 0;
    } else {
        PoolItem* item = first;
        while (item) {
            PoolItem* next = item->next;
            pool_Release(*this, item);
            item = next;
        }
    }
    first = last = nullptr;
    count = 0;
}

// ---- object lists -------------------------------------------------------------

namespace {

using PoolLinkMember = ListLink ListNode::*;

bool pool_ListContains(const ObjectList& list, const ListNode* node, PoolLinkMember link) {
    if (!node) return false;
    for (const ListNode* p = list.first; p; p = (p->*link).next)
        if (p == node) return true;
    return false;
}

void pool_ListAdd(ObjectList& list, ListNode* node, PoolLinkMember link) {
    if (!node || pool_ListContains(list, node, link)) return;
    ListLink& own = node->*link;
    if (ListInsertPosition() == 1) {
        own.prev = nullptr;
        own.next = list.first;
        if (list.first)
            (list.first->*link).prev = node;
        else
            list.last = node;
        list.first = node;
    } else {
        own.next = nullptr;
        own.prev = list.last;
        if (list.last)
            (list.last->*link).next = node;
        else
            list.first = node;
        list.last = node;
    }
    ++list.count;
}

ListNode* pool_ListRemove(ObjectList& list, ListNode* node, PoolLinkMember link) {
    if (!pool_ListContains(list, node, link)) return nullptr;
    ListLink& own = node->*link;
    ListNode* next = own.next;
    if (own.prev)
        (own.prev->*link).next = next;
    else
        list.first = next;
    if (next)
        (next->*link).prev = own.prev;
    else
        list.last = own.prev;
    own.next = own.prev = nullptr;
    --list.count;
    return next;
}

}  // namespace

void ObjectList::Init() {
    first = last = nullptr;
    count = 0;
}

void ObjectList::AddDocument(ListNode* document) { pool_ListAdd(*this, document, &ListNode::documentLink); }

ListNode* ObjectList::RemoveDocument(ListNode* document) {
    return pool_ListRemove(*this, document, &ListNode::documentLink);
}

bool ObjectList::ContainsDocument(const ListNode* document) const {
    return pool_ListContains(*this, document, &ListNode::documentLink);
}

void ObjectList::AddWindow(ListNode* window) { pool_ListAdd(*this, window, &ListNode::windowLink); }

ListNode* ObjectList::RemoveWindow(ListNode* window) { return pool_ListRemove(*this, window, &ListNode::windowLink); }

bool ObjectList::ContainsWindow(const ListNode* window) const {
    return pool_ListContains(*this, window, &ListNode::windowLink);
}

void ObjectList::DeleteAllWindows() {
    while (first) {
        ListNode* window = first;
        pool_ListRemove(*this, window, &ListNode::windowLink);
        window->CloseFromList();
    }
}
