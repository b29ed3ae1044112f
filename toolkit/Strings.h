#pragma once

// A list of strings: what components append names to (a combo box's items,
// a plain vector in tests).

#include <string>
#include <vector>

class TStrings {
 public:
  virtual ~TStrings() = default;
  virtual void Add(const std::string& Text) = 0;
};

class TStringList : public TStrings {
 public:
  void Add(const std::string& Text) override { Items.push_back(Text); }
  std::vector<std::string> Items;
};
