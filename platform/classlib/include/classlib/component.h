// The roots of the class hierarchy: TObject, and TComponent, which has a name
// and owns the components created with it as owner. Qt-free.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace classlib {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // The unqualified class name of the object's dynamic type ("TForm1").
  std::string ClassName() const;
};

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  // Frees the owned components, last created first.
  ~TComponent() override;

  const std::string& Name() const { return FName; }
  void SetName(std::string name) { FName = std::move(name); }
  TComponent* Owner() const { return FOwner; }

  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const { return FComponents.at(static_cast<std::size_t>(index)); }
  // The owned component called name, or nullptr.
  TComponent* FindComponent(const std::string& name) const;

 protected:
  // Frees the owned components now, last created first. Classes whose own
  // destruction would pull resources from under their components (a form's
  // window holds its controls' widgets) call it first in their destructor.
  void DestroyComponents();

 private:
  void Insert(TComponent* component);
  void Remove(TComponent* component);

  std::string FName;
  TComponent* FOwner;
  std::vector<TComponent*> FComponents;
};

}  // namespace classlib
