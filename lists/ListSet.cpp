#include "lists/ListSet.h"

#include <filesystem>
#include <regex>

#include "platform/AtomicFile.h"
#include "lists/ListIndex.h"

namespace zonda {

std::string ListFilePath(const std::string& folder, int n) { return folder + "/list" + std::to_string(n) + ".lst"; }

// Temporary files of saves that never finished (the process was killed).
void RemoveUnfinishedSaves(const std::string& folder) {
  static const std::regex temp(R"(\.(list[0-9]+\.lst|lists\.ssa|default\.lst)\.[A-Za-z0-9]{6})");
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    if (std::regex_match(e.path().filename().string(), temp)) std::filesystem::remove(e.path(), ec);
  }
}

std::vector<std::string> LoadAllListsFrom(const std::string& folder, TListHolder& holder) {
  std::vector<std::string> problems;
  RemoveUnfinishedSaves(folder);
  const std::string indexPath = folder + "/lists.ssa";
  std::string bytes, error;
  if (!ReadWholeFile(indexPath, bytes, &error, kListIndexMaxRecords * kListIndexRecordBytes + kListIndexRecordBytes)) {
    problems.push_back(error);
    return problems;
  }
  std::vector<TListIndexRecord> records;
  if (!DecodeListIndex(bytes, records, &error)) problems.push_back(indexPath + ": " + error);
  for (size_t i = 0; i < records.size(); ++i) {
    const int n = static_cast<int>(i) + 1;
    while (holder.ListCount() < n) holder.AppendList();
    TLista& list = holder.ListAt(n);
    std::string why;
    list.Unreadable = !list.LoadFromFile(ListFilePath(folder, n), &why);
    list.UnreadableFile = list.Unreadable ? ListFilePath(folder, n) : std::string();
    if (list.Unreadable) problems.push_back(why);
    list.Name = records[i].Name;
    list.CreatedName = records[i].CreatedName;
    list.ListTag = records[i].ListTag;
    list.BrowserId = records[i].BrowserId;
  }
  return problems;
}

std::vector<std::string> SaveAllListsTo(const std::string& folder, TListHolder& holder) {
  std::vector<std::string> problems;
  if (holder.ListCount() >= 2 && !holder.ListAt(2).Unreadable) holder.ListAt(2).ClearRows();
  std::vector<TListIndexRecord> records;
  for (int n = 1; n <= holder.ListCount(); ++n) {
    TLista& list = holder.ListAt(n);
    std::string error;
    const std::string path = ListFilePath(folder, n);
    if (!list.Unreadable) {
      if (!list.SaveToFile(path, &error)) problems.push_back(error);
    } else if (!list.UnreadableFile.empty() && list.UnreadableFile != path) {
      // Its number changed: the damaged file moves along, untouched.
      std::string bytes;
      if (ReadWholeFile(list.UnreadableFile, bytes, &error) && WriteFileAtomically(path, bytes, &error))
        list.UnreadableFile = path;
      else
        problems.push_back(error);
    }
    records.push_back({list.Name, list.CreatedName, list.ListTag, list.BrowserId});
  }
  std::string error;
  if (!WriteFileAtomically(folder + "/lists.ssa", EncodeListIndex(records), &error)) problems.push_back(error);
  return problems;
}

bool LoadListTemplate(const std::string& folder, TLista& list, std::string* error) {
  return list.LoadFromFile(folder + "/default.lst", error);
}

}  // namespace zonda
