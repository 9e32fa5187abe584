// The cache of last-level searches must give back exactly what was stored, only for the same
// inputs, and stay within its bounds.
#include "search_cache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tarvo {
namespace {

// A node split in two leaves by a nominal feature, as a last-level search leaves it.
TNodeRec* TwoLeafNode(TRecordStore& records) {
  TNodeRec* node = records.NewNode();
  node->Feature = 3;
  node->ObjectCount = 5;
  node->ClassCount[1] = 3;
  node->ClassCount[2] = 2;
  TBranchRec** link = &node->FirstBranch;
  for (int32_t code = 1; code <= 2; ++code) {
    TBranchRec* b = records.NewBranch();
    b->Kind = ftNominal;
    b->Values = {code, code + 2};
    b->Child = records.NewNode();
    b->Child->ObjectCount = code + 1;
    b->Child->Terminal = true;
    *link = b;
    link = &b->Next;
  }
  return node;
}

TEST(SearchCacheTest, GivesBackADeepCopyOnlyForTheSameInputs) {
  TRecordStore records;
  TSearchCache cache;
  TFeatureMask mask;
  mask[1] = mask[3] = true;
  const std::vector<int32_t> objects{4, 9, 2, 7, 5};
  TNodeRec* stored = TwoLeafNode(records);
  TSearchResult result;
  result.Score = 0.25;
  result.Figures = TTreeFigures{2, 1, 0.5};
  const TCreditLog credits{{.Feature = 3, .Score = 0.25}, {.Feature = 1, .Score = 0.75}};
  cache.Store(objects.data(), 5, mask, 2, *stored, result, credits, records);
  // The cache keeps its own copy: what the caller does with its node afterwards does not matter.
  stored->FirstBranch->Values[0] = 99;
  records.FreeSubtree(stored);

  TNodeRec* found = records.NewNode();
  TSearchResult foundResult;
  TCreditLog foundCredits;
  ASSERT_TRUE(cache.Find(objects.data(), 5, mask, 2, *found, foundResult, foundCredits, records));
  EXPECT_EQ(foundResult.Score, 0.25);
  EXPECT_EQ(foundResult.Figures.Errors, 1);
  EXPECT_EQ(foundCredits, credits);
  EXPECT_EQ(found->Feature, 3);
  EXPECT_EQ(found->ClassCount[2], 2);
  ASSERT_NE(found->FirstBranch, nullptr);
  EXPECT_EQ(found->FirstBranch->Values, (std::vector<int32_t>{1, 3}));
  ASSERT_NE(found->FirstBranch->Next, nullptr);
  EXPECT_EQ(found->FirstBranch->Next->Child->ObjectCount, 3);
  EXPECT_EQ(found->FirstBranch->Next->Next, nullptr);
  EXPECT_NE(found->FirstBranch->Child, nullptr);

  // Another order of the same objects, another mask or another excluded feature is another search.
  const std::vector<int32_t> reordered{9, 4, 2, 7, 5};
  TFeatureMask other = mask;
  other[1] = false;
  EXPECT_FALSE(
      cache.Find(reordered.data(), 5, mask, 2, *found, foundResult, foundCredits, records));
  EXPECT_FALSE(cache.Find(objects.data(), 5, other, 2, *found, foundResult, foundCredits, records));
  EXPECT_FALSE(cache.Find(objects.data(), 5, mask, 1, *found, foundResult, foundCredits, records));
  EXPECT_FALSE(cache.Find(objects.data(), 4, mask, 2, *found, foundResult, foundCredits, records));
  records.FreeSubtree(found);
}

TEST(SearchCacheTest, ForgetsTheOlderGenerationWhenTheNewerIsFull) {
  TRecordStore records;
  TSearchCache cache;
  TFeatureMask mask;
  TNodeRec* leaf = records.NewNode();
  const TSearchResult result;
  // Two full generations and one search more: the first generation makes way for the last one.
  const int32_t generation = static_cast<int32_t>(TSearchCache::kMaxEntries);
  for (int32_t i = 0; i <= 2 * generation; ++i) {
    cache.Store(&i, 1, mask, 0, *leaf, result, {}, records);
  }
  EXPECT_EQ(cache.Size(), static_cast<size_t>(generation) + 1);
  TSearchResult found;
  TCreditLog credits;
  const int32_t first = 0, lastOfFirst = generation - 1, firstOfSecond = generation,
                last = 2 * generation;
  EXPECT_FALSE(cache.Find(&first, 1, mask, 0, *leaf, found, credits, records));
  EXPECT_FALSE(cache.Find(&lastOfFirst, 1, mask, 0, *leaf, found, credits, records));
  EXPECT_TRUE(cache.Find(&firstOfSecond, 1, mask, 0, *leaf, found, credits, records));
  EXPECT_TRUE(cache.Find(&last, 1, mask, 0, *leaf, found, credits, records));
  cache.Clear(records);
  EXPECT_EQ(cache.Size(), 0u);
  EXPECT_FALSE(cache.Find(&last, 1, mask, 0, *leaf, found, credits, records));
  EXPECT_FALSE(cache.Find(&firstOfSecond, 1, mask, 0, *leaf, found, credits, records));
}

}  // namespace
}  // namespace tarvo
