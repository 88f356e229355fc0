// Renderer technique identifiers by name: "depth" is 0 and "shadow" is 1;
// other names get the next number when registered. Effects keep a table from
// these ids to their own technique indices.
#pragma once

#include <string>
#include <vector>

class IZeTechniqueLookup {
 public:
  virtual ~IZeTechniqueLookup() = default;
  // The id of a name, or -1 (an empty name never has one).
  virtual int getTechniqueId(const char* name) const = 0;
};

class CZeTechniqueLookup : public IZeTechniqueLookup {
 public:
  CZeTechniqueLookup() : names_{"depth", "shadow"} {}
  int getTechniqueId(const char* name) const override {
    if (!name || !*name) return -1;
    for (size_t i = 0; i < names_.size(); ++i)
      if (names_[i] == name) return int(i);
    return -1;
  }
  // The id of a name, registering it when new.
  int registerTechnique(const char* name) {
    int id = getTechniqueId(name);
    if (id >= 0 || !name || !*name) return id;
    names_.push_back(name);
    return int(names_.size()) - 1;
  }

 private:
  std::vector<std::string> names_;
};
