// A module's resources: the string table in <res>/strings.json.
#pragma once

#include <map>

#include "host/files/files.h"

// The string table format: {"strings": [{"id": 15000, "name": "IDS_X", "text": "..."}, ...]}.
class GeResource {
public:
  // Loads the string table of the "res" folder `folder`. The first call decides: later
  // calls return what it returned. False when the table is missing or malformed.
  Bool Init(const Filename& folder);
  Bool IsLoaded() const { return loaded_; }
  const Filename& GetFolder() const { return folder_; }
  // The string `id`, or an empty text when it is missing or nothing is loaded.
  String LoadString(Int32 id) const;
  // Forgets the table; Init may load again.
  void Free();

private:
  Bool initialised_ = false;
  Bool loaded_ = false;
  Filename folder_;
  std::map<Int32, String> strings_;
};
