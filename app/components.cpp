#include "app/components.h"

#include <array>

namespace vantelle::app {

namespace {

constexpr std::array<ObjectKind, 5> kKinds = {{
    {"plot", "Osurfo", 1055349, -1},
    {"mesh", "Osurfomesh", 1055457, 0},
    {"grid", "Osurfogrid", 1055458, 1},
    {"cage", "Osurfocage", 1055484, 2},
    {"labels", "Osurfolabel", 1055514, 3},
}};

}  // namespace

std::optional<ObjectKind> FindObjectKind(std::string_view name) {
  for (const ObjectKind& kind : kKinds) {
    if (kind.name == name || kind.typeName == name) {
      return kind;
    }
  }
  return std::nullopt;
}

std::string ComponentKindNames() {
  std::string names;
  for (const ObjectKind& kind : kKinds) {
    if (kind.addIndex >= 0) {
      names += (names.empty() ? "" : ", ") + std::string(kind.name);
    }
  }
  return names;
}

BaseObject* FindBelow(BaseObject* root, Int32 type) {
  if (root == nullptr) {
    return nullptr;
  }
  BaseObject* op = root->GetDown();
  while (op != nullptr) {
    if (op->GetType() == type) {
      return op;
    }
    if (op->GetDown() != nullptr) {
      op = op->GetDown();
      continue;
    }
    while (op != nullptr && op != root && op->GetNext() == nullptr) {
      op = op->GetUp();
    }
    if (op == nullptr || op == root) {
      return nullptr;
    }
    op = op->GetNext();
  }
  return nullptr;
}

}  // namespace vantelle::app
