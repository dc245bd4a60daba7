#pragma once
// Loading and saving all lists of the library folder ("lists.ssa" plus
// "list<N>.lst" per list), free of widgets so tools and tests use it bare.
//
//   TListVector lists;                      // or the list view
//   auto problems = LoadAllListsFrom(ProgramPath("/lists"), lists);
//   ...
//   SaveAllListsTo(ProgramPath("/lists"), lists);
//
// Loading reads every list it can: a list file that cannot be read keeps its
// slot (empty, marked Unreadable) so the lists after it keep their numbers and
// saving never writes over it. Every file is written atomically (AtomicFile.h),
// list files first and the index last. Main thread.
#include <memory>
#include <string>
#include <vector>

#include "lists/Lista.h"

namespace zonda {

// Whatever holds the lists: always at least one, numbered 1..ListCount.
class TListHolder {
 public:
  virtual ~TListHolder() = default;
  virtual int ListCount() const = 0;
  virtual TLista& ListAt(int index) = 0;  // 1..ListCount
  virtual void AppendList() = 0;
};

// A plain holder for tools and tests.
class TListVector : public TListHolder {
 public:
  TListVector() { AppendList(); }
  int ListCount() const override { return static_cast<int>(lists_.size()); }
  TLista& ListAt(int index) override { return *lists_.at(static_cast<size_t>(index - 1)); }
  void AppendList() override { lists_.push_back(std::make_unique<TLista>()); }
  void RemoveList(int index) { lists_.erase(lists_.begin() + (index - 1)); }

 private:
  std::vector<std::unique_ptr<TLista>> lists_;
};

// folder + "/list<N>.lst"
std::string ListFilePath(const std::string& folder, int n);

// Reads the index and every list named in it into holder (which grows to one
// list per record). Returns one line per problem (index or list file that
// could not be read, with the reason); empty when all loaded.
std::vector<std::string> LoadAllListsFrom(const std::string& folder, TListHolder& holder);

// Empties list 2 (History), writes every readable list's file and then the
// index. An unreadable list keeps its file; when lists before it were removed
// its file is copied unchanged to its new number first. Returns one line per
// file that could not be written.
std::vector<std::string> SaveAllListsTo(const std::string& folder, TListHolder& holder);

// A new list: the template "default.lst" of folder, loaded whole; false with a
// reason when it cannot be read.
bool LoadListTemplate(const std::string& folder, TLista& list, std::string* error = nullptr);

}  // namespace zonda
