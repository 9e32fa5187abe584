// The majority class, paths through a tree, and the storage of tree records.
#include "tree_records.h"

#include <cmath>

namespace tarvo {

bool BranchAccepts(const TBranchRec& b, double x) {
  if (b.Kind == ftNominal) {
    const double whole = std::trunc(x);
    for (int32_t code : b.Values) {
      if (whole == code) return true;
    }
    return false;
  }
  return (b.OpenBelow || b.Low < x) && (b.OpenAbove || x <= b.High);
}

const TNodeRec* LeafReached(const TDataTable& data, const TNodeRec& from, int32_t object) {
  const TNodeRec* node = &from;
  while (node && node->FirstBranch) {
    const double x = data[node->Feature][object];
    const TBranchRec* b = IsKnown(x) ? node->FirstBranch : nullptr;
    while (b && !BranchAccepts(*b, x)) b = b->Next;
    node = b ? b->Child : nullptr;
  }
  return node;
}

void CopyBranchTest(const TBranchRec& source, TBranchRec& target) {
  target.Kind = source.Kind;
  target.Low = source.Low;
  target.High = source.High;
  target.OpenBelow = source.OpenBelow;
  target.OpenAbove = source.OpenAbove;
  target.Values = source.Values;
}

TNodeRec* TRecordStore::NewNode() {
  TNodeRec* node = nullptr;
  if (freeNodes_.empty()) {
    node = &nodes_.emplace_back();
  } else {
    node = freeNodes_.back();
    freeNodes_.pop_back();
    *node = TNodeRec{};
  }
  node->Home = this;
  return node;
}

TBranchRec* TRecordStore::NewBranch() {
  TBranchRec* b = nullptr;
  if (freeBranches_.empty()) {
    b = &branches_.emplace_back();
  } else {
    b = freeBranches_.back();
    freeBranches_.pop_back();
  }
  // Keep the value list's storage: recycled branches then allocate nothing.
  b->Child = nullptr;
  b->Next = nullptr;
  b->Kind = ftNumeric;
  b->Low = b->High = 0.0;
  b->OpenBelow = b->OpenAbove = false;
  b->Values.clear();
  b->Home = this;
  return b;
}

void TRecordStore::FreeNode(TNodeRec* node) {
  FreeBranchList(node->FirstBranch);
  (node->Home ? node->Home : this)->freeNodes_.push_back(node);
}

void TRecordStore::FreeBranch(TBranchRec* b) {
  if (!b) return;
  if (b->Child) FreeNode(b->Child);
  b->Child = nullptr;
  (b->Home ? b->Home : this)->freeBranches_.push_back(b);
}

void TRecordStore::FreeBranchList(TBranchRec*& list) {
  while (list) {
    TBranchRec* next = list->Next;
    FreeBranch(list);
    list = next;
  }
}

void TRecordStore::FreeSubtree(TNodeRec* root) {
  if (root) FreeNode(root);
}

int32_t TRecordStore::CopySubtree(const TNodeRec& source, TNodeRec& target) {
  FreeBranchList(target.FirstBranch);
  TRecordStore* home = target.Home;
  target = source;
  target.Home = home;
  target.FirstBranch = nullptr;
  TBranchRec** link = &target.FirstBranch;
  int32_t made = 0;
  for (const TBranchRec* b = source.FirstBranch; b; b = b->Next) {
    TBranchRec* copy = NewBranch();
    CopyBranchTest(*b, *copy);
    copy->Child = NewNode();
    made += 2 + CopySubtree(*b->Child, *copy->Child);
    *link = copy;
    link = &copy->Next;
  }
  return made;
}

void TTreeStorage::Create(int32_t objectCount) {
  NodePool.assign(2 * static_cast<size_t>(objectCount) + 1, TNodeRec{});
  BranchPool.assign(2 * static_cast<size_t>(objectCount), TBranchRec{});
  NodesUsed = BranchesUsed = 0;
}

TNodeRec* TTreeStorage::NodeRecord(int32_t number) {
  while (static_cast<int32_t>(NodePool.size()) < number) NodePool.emplace_back();
  return &NodePool[number - 1];
}

TBranchRec* TTreeStorage::BranchRecord(int32_t number) {
  while (static_cast<int32_t>(BranchPool.size()) < number) BranchPool.emplace_back();
  return &BranchPool[number - 1];
}

}  // namespace tarvo
