#include "classlib/component.h"

#include <algorithm>

#include "classlib/exceptions.h"

namespace classlib {

std::string TObject::ClassName() const { return ClassNameOf(typeid(*this)); }

TComponent::TComponent(TComponent* owner) : FOwner(owner) {
  if (FOwner) FOwner->Insert(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (FOwner) FOwner->Remove(this);
}

void TComponent::DestroyComponents() {
  // Last created first, so that later components may rely on earlier ones.
  // Each one takes itself out of the list as it goes.
  while (!FComponents.empty()) delete FComponents.back();
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : FComponents)
    if (c->Name() == name) return c;
  return nullptr;
}

void TComponent::Insert(TComponent* component) { FComponents.push_back(component); }

void TComponent::Remove(TComponent* component) {
  FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), component), FComponents.end());
}

}  // namespace classlib
