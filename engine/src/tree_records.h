// Nodes, branches, paths and feature masks of a tree, and the storage that holds them.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "input_table.h"

namespace tarvo {

constexpr int kMaxClasses = 12;
constexpr int kMaxFeatures = 256;  // 255 columns of a table in memory and the companion column

using TClassCounts = std::array<int32_t, kMaxClasses + 1>;  // classes 1..12, entry 0 unused

struct TBranchRec;
class TRecordStore;

struct TNodeRec {
  TBranchRec* FirstBranch = nullptr;  // null for a leaf
  int32_t Feature = 0;                // feature tested here; 0 open leaf, -1 closed leaf
  int32_t ObjectCount = 0;
  double Dispersion = 0.0;
  double Mean = 0.0;
  bool Terminal = false;
  TClassCounts ClassCount{};
  TRecordStore* Home = nullptr;  // the store that made the record and takes it back
};

struct TBranchRec {
  TNodeRec* Child = nullptr;
  TBranchRec* Next = nullptr;
  TFeatureType Kind = ftNumeric;
  double Low = 0.0;  // interval branch: Low < x <= High
  double High = 0.0;
  // The first and the last interval of a feature take every value below or above them, also
  // values beyond their printed bounds of -1e17 and 1e17.
  bool OpenBelow = false;
  bool OpenAbove = false;
  std::vector<int32_t> Values;  // value-set branch: the codes that lead into it
  int32_t ValueCount() const { return static_cast<int32_t>(Values.size()); }
  TRecordStore* Home = nullptr;  // the store that made the record and takes it back
};

struct TPathStep {
  TBranchRec* Branch = nullptr;
  int32_t Feature = 0;
};
using TNodePath = std::vector<TPathStep>;  // step k at index k - 1; grows as deep as the tree

struct TFeatureMask {
  std::array<bool, kMaxFeatures + 1> Allowed{};  // features 1..256, entry 0 unused
  bool& operator[](int f) { return Allowed[f]; }
  bool operator[](int f) const { return Allowed[f]; }
};

// The majority class (largest count, ties to the lower class) and the objects outside it.
struct TMajority {
  int32_t Class = 1;
  int32_t Errors = 0;
};
inline TMajority MajorityClass(const TClassCounts& counts, int32_t classCount) {
  TMajority result;
  int32_t total = classCount >= 1 ? counts[1] : 0;
  for (int32_t c = 2; c <= classCount; ++c) {
    total += counts[c];
    if (counts[c] > counts[result.Class]) result.Class = c;
  }
  // The objects of all other classes: the total less the majority's own count.
  result.Errors = classCount >= 1 ? total - counts[result.Class] : 0;
  return result;
}

// The leaf below `from` whose path the object follows: at every node the branch that accepts its
// value, which is at most one as a node's branches do not overlap. Null when a value on the way
// is unknown or no branch accepts it.
const TNodeRec* LeafReached(const TDataTable& data, const TNodeRec& from, int32_t object);

// Makes target test what source tests: its kind, bounds and value set (not its links).
void CopyBranchTest(const TBranchRec& source, TBranchRec& target);

// Whether a known value x lies in branch b.
bool BranchAccepts(const TBranchRec& b, double x);

// Recycles the records of temporary subtrees so that the search does not allocate per node.
// A freed record goes back to the store that made it, whichever store frees it: a subtree made
// by a worker thread and adopted by the caller's search returns to the worker, which would
// otherwise allocate anew for every search. A store's lists are touched by one thread at a time:
// the caller frees workers' records only while they wait for the next search. A record whose
// home was cleared goes to the store that frees it.
class TRecordStore {
 public:
  TNodeRec* NewNode();
  TBranchRec* NewBranch();
  // Frees a branch (when there is one), its child and everything below.
  void FreeBranch(TBranchRec* b);
  // Frees every branch of the list, each child and everything below; the list becomes null.
  void FreeBranchList(TBranchRec*& list);
  // Frees a temporary subtree and its root record.
  void FreeSubtree(TNodeRec* root);
  // Makes target (which keeps its own home) a copy of source with everything below, from
  // records of this store; target's old branches are freed. Returns the records it made.
  int32_t CopySubtree(const TNodeRec& source, TNodeRec& target);

 private:
  void FreeNode(TNodeRec* node);

  std::deque<TNodeRec> nodes_;
  std::deque<TBranchRec> branches_;
  std::vector<TNodeRec*> freeNodes_;
  std::vector<TBranchRec*> freeBranches_;
};

// The kept tree of a run: node and branch records reused by every tree.
struct TTreeStorage {
  std::deque<TNodeRec> NodePool;
  std::deque<TBranchRec> BranchPool;
  int32_t NodesUsed = 0;
  int32_t BranchesUsed = 0;

  void Create(int32_t objectCount);
  TNodeRec* Root() { return &NodePool.front(); }
  const TNodeRec* Root() const { return &NodePool.front(); }
  TNodeRec* NodeRecord(int32_t number);      // 1-based, grows the pool when needed
  TBranchRec* BranchRecord(int32_t number);  // 1-based, grows the pool when needed
};

}  // namespace tarvo
