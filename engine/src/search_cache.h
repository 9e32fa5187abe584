// The results of last-level searches already made, by their inputs: the evaluation of one
// top-level feature searches many unions of the same objects again, and a copy of the earlier
// result is far cheaper than the search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "credit_order.h"
#include "tree_figures.h"
#include "tree_records.h"

namespace tarvo {

class TSearchCache {
 public:
  // Each of the cache's two generations holds at most this many searches, object numbers,
  // credits and node and branch records. New searches go to the newer generation; when it is
  // full, the older one is forgotten and a fresh one takes the new searches, so the searches
  // made last are still found. That bounds the cache's memory per search thread, about 12 MB,
  // whatever the table.
  static constexpr size_t kMaxEntries = 8192;
  static constexpr size_t kMaxObjects = size_t{1} << 18;
  static constexpr size_t kMaxCredits = size_t{1} << 16;
  static constexpr size_t kMaxRecords = size_t{1} << 15;

  // Forgets every search; their records go back to records.
  void Clear(TRecordStore& records);
  // When the search of objects[0..n-1] with this mask and excluded feature is held, makes node a
  // copy of the node it filled (from records), result its result and credits the feature
  // credits it made, in their order.
  bool Find(const int32_t* objects, int32_t n, const TFeatureMask& mask, int32_t excluded,
            TNodeRec& node, TSearchResult& result, TCreditLog& credits,
            TRecordStore& records) const;
  // Keeps a copy of the node a search of these inputs filled, its result and its credits.
  void Store(const int32_t* objects, int32_t n, const TFeatureMask& mask, int32_t excluded,
             const TNodeRec& node, const TSearchResult& result, const TCreditLog& credits,
             TRecordStore& records);
  // The searches held, in both generations.
  size_t Size() const { return generations_[0].Size() + generations_[1].Size(); }

 private:
  struct TEntry {
    uint64_t Hash = 0;
    size_t Offset = 0;  // of the objects in the generation's Objects
    int32_t N = 0;
    int32_t Excluded = 0;
    TFeatureMask Mask;
    TSearchResult Result;
    TNodeRec* Node = nullptr;  // owned copy
    size_t CreditOffset = 0;   // of the credits in the generation's Credits
    size_t CreditCount = 0;
    int32_t Next = -1;  // the next entry of the same bucket
  };

  // Searches in a chained hash table over flat arrays.
  class TGeneration {
   public:
    void Clear(TRecordStore& records);
    const TEntry* Lookup(uint64_t hash, const int32_t* objects, int32_t n, const TFeatureMask& mask,
                         int32_t excluded) const;
    // Whether a search of n objects with that many credits would pass a limit.
    bool WouldOverflow(int32_t n, size_t credits) const;
    void Store(uint64_t hash, const int32_t* objects, int32_t n, const TFeatureMask& mask,
               int32_t excluded, const TNodeRec& node, const TSearchResult& result,
               const TCreditLog& credits, TRecordStore& records);
    const TCreditLog& Credits() const { return credits_; }
    size_t Size() const { return entries_.size(); }

   private:
    size_t BucketOf(uint64_t hash) const { return hash & (buckets_.size() - 1); }
    void Rehash(size_t bucketCount);

    std::vector<TEntry> entries_;
    std::vector<int32_t> objects_;
    size_t recordCount_ = 0;  // nodes and branches of the kept copies
    TCreditLog credits_;
    std::vector<int32_t> buckets_;  // first entry of each bucket, -1 when none; a power of two
  };

  static uint64_t HashOf(const int32_t* objects, int32_t n, int32_t excluded);

  TGeneration generations_[2];
  int32_t newer_ = 0;  // the generation that takes new searches
};

}  // namespace tarvo
