#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "XmlFixture.h"
#include "text/TextUtil.h"

namespace {

// What a section holds, in document order: (element name, its Value).
using Model = std::vector<std::pair<std::string, std::string>>;

// The index-th key matching name ignoring A-Z case, as a walk would find it.
std::pair<std::string, std::string>* FindInModel(Model& keys, const std::string& name, int index) {
  for (auto& key : keys)
    if (dezov::NamesEqual(key.first, name) && index-- == 0) return &key;
  return nullptr;
}

}  // namespace

// Lookups in a section large enough to be indexed give exactly what a walk
// over its children gives, also after elements were added and removed.
TEST_F(XmlStoreTest, LookupsInLargeSectionsStayExactUnderChanges) {
  const std::vector<std::string> names = {"a", "A", "b", "B", "ab", "Ab", "k1", "K1", "\xD6\xD0", "x"};
  std::mt19937 random(20261206);
  Model model;
  std::string body = "<L>";
  for (int i = 0; i < 300; ++i) {
    model.emplace_back(names[random() % names.size()], "v" + std::to_string(i));
    body += "<" + model.back().first + " Value=\"" + model.back().second + "\"/><!-- c -->\n";
  }
  CXmlIni store;
  OpenOn(store, body + "</L>");

  int next = 1000;
  for (int step = 0; step < 3000; ++step) {
    std::string name = names[random() % names.size()];
    if (random() % 2) name = dezov::FoldName(name);
    const int action = static_cast<int>(random() % 20);
    if (action == 0) {
      const bool removed = store.RemoveKey("L", name.c_str());
      const auto before = model.size();
      model.erase(std::remove_if(model.begin(), model.end(),
                                 [&](const auto& k) { return dezov::NamesEqual(k.first, name); }),
                  model.end());
      ASSERT_EQ(removed, before != model.size()) << step;
    } else if (action < 4) {
      const std::string value = "n" + std::to_string(next++);
      ASSERT_TRUE(store.SetValue("L", name.c_str(), value.c_str()));
      if (auto* existing = FindInModel(model, name, 0))
        existing->second = value;
      else
        model.emplace_back(name, value);
    } else {
      const int index = static_cast<int>(random() % 40) - 1;
      const auto* expected = FindInModel(model, name, index);
      ASSERT_EQ(store.GetValue("L", name.c_str(), index), expected ? expected->second : "")
          << "step " << step << " name " << name << " index " << index;
    }
  }
}
