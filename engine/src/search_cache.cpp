// Last-level search results by their inputs, in a chained hash table over flat arrays.
#include "search_cache.h"

#include <algorithm>

namespace tarvo {

uint64_t TSearchCache::HashOf(const int32_t* objects, int32_t n, int32_t excluded) {
  uint64_t hash = 0x9e3779b97f4a7c15ull ^ static_cast<uint64_t>(excluded);
  for (int32_t i = 0; i < n; ++i) {
    hash ^= static_cast<uint32_t>(objects[i]);
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 32;
  }
  return hash;
}

void TSearchCache::Clear(TRecordStore& records) {
  generations_[0].Clear(records);
  generations_[1].Clear(records);
  newer_ = 0;
}

bool TSearchCache::Find(const int32_t* objects, int32_t n, const TFeatureMask& mask,
                        int32_t excluded, TNodeRec& node, TSearchResult& result,
                        TCreditLog& credits, TRecordStore& records) const {
  const uint64_t hash = HashOf(objects, n, excluded);
  for (const TGeneration* generation : {&generations_[newer_], &generations_[1 - newer_]}) {
    const TEntry* entry = generation->Lookup(hash, objects, n, mask, excluded);
    if (!entry) continue;
    records.CopySubtree(*entry->Node, node);
    result = entry->Result;
    const auto first = generation->Credits().begin() + static_cast<ptrdiff_t>(entry->CreditOffset);
    credits.assign(first, first + static_cast<ptrdiff_t>(entry->CreditCount));
    return true;
  }
  return false;
}

void TSearchCache::Store(const int32_t* objects, int32_t n, const TFeatureMask& mask,
                         int32_t excluded, const TNodeRec& node, const TSearchResult& result,
                         const TCreditLog& credits, TRecordStore& records) {
  if (static_cast<size_t>(n) > kMaxObjects || credits.size() > kMaxCredits) return;
  if (generations_[newer_].WouldOverflow(n, credits.size())) {
    newer_ = 1 - newer_;
    generations_[newer_].Clear(records);
  }
  generations_[newer_].Store(HashOf(objects, n, excluded), objects, n, mask, excluded, node, result,
                             credits, records);
}

void TSearchCache::TGeneration::Clear(TRecordStore& records) {
  for (TEntry& entry : entries_) records.FreeSubtree(entry.Node);
  entries_.clear();
  objects_.clear();
  credits_.clear();
  recordCount_ = 0;
  std::fill(buckets_.begin(), buckets_.end(), -1);
}

void TSearchCache::TGeneration::Rehash(size_t bucketCount) {
  buckets_.assign(bucketCount, -1);
  for (size_t i = 0; i < entries_.size(); ++i) {
    TEntry& entry = entries_[i];
    int32_t& head = buckets_[BucketOf(entry.Hash)];
    entry.Next = head;
    head = static_cast<int32_t>(i);
  }
}

const TSearchCache::TEntry* TSearchCache::TGeneration::Lookup(uint64_t hash, const int32_t* objects,
                                                              int32_t n, const TFeatureMask& mask,
                                                              int32_t excluded) const {
  if (buckets_.empty()) return nullptr;
  for (int32_t i = buckets_[BucketOf(hash)]; i >= 0; i = entries_[i].Next) {
    const TEntry& entry = entries_[i];
    if (entry.Hash != hash || entry.N != n || entry.Excluded != excluded) continue;
    if (entry.Mask.Allowed != mask.Allowed) continue;
    if (std::equal(objects, objects + n, objects_.begin() + static_cast<ptrdiff_t>(entry.Offset)))
      return &entry;
  }
  return nullptr;
}

bool TSearchCache::TGeneration::WouldOverflow(int32_t n, size_t credits) const {
  return entries_.size() >= kMaxEntries || objects_.size() + n > kMaxObjects ||
         credits_.size() + credits > kMaxCredits || recordCount_ >= kMaxRecords;
}

void TSearchCache::TGeneration::Store(uint64_t hash, const int32_t* objects, int32_t n,
                                      const TFeatureMask& mask, int32_t excluded,
                                      const TNodeRec& node, const TSearchResult& result,
                                      const TCreditLog& credits, TRecordStore& records) {
  if (2 * (entries_.size() + 1) > buckets_.size())
    Rehash(std::max<size_t>(1024, 2 * buckets_.size()));
  TEntry& entry = entries_.emplace_back();
  entry.Hash = hash;
  entry.Offset = objects_.size();
  entry.N = n;
  entry.Excluded = excluded;
  entry.Mask = mask;
  entry.Result = result;
  entry.Node = records.NewNode();
  recordCount_ += 1 + records.CopySubtree(node, *entry.Node);
  objects_.insert(objects_.end(), objects, objects + n);
  entry.CreditOffset = credits_.size();
  entry.CreditCount = credits.size();
  credits_.insert(credits_.end(), credits.begin(), credits.end());
  int32_t& head = buckets_[BucketOf(entry.Hash)];
  entry.Next = head;
  head = static_cast<int32_t>(entries_.size() - 1);
}

}  // namespace tarvo
