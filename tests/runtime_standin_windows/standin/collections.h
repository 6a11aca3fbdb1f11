// A read-only list (IVectorView<T>) of the stand-in's: a fixed set of
// elements, each handed out as the caller's own copy (interfaces with a
// reference, structures with fresh strings). `Extra` interfaces (IIterable
// where the list has one) are implemented by a class deriving from it.
#pragma once

#include <windows.foundation.collections.h>

#include <vector>

#include "async_operation.h"
#include "object.h"

namespace quillmar::standin {

template <class Logical, class Abi, class... Extra>
class VectorView : public Object<ABI::Windows::Foundation::Collections::IVectorView<Logical>,
                                 Extra..., IAgileObject> {
 public:
  // Takes over the elements' references.
  explicit VectorView(std::vector<Abi> items) : items_(std::move(items)) {}

  HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, Abi* value) override {
    if (value == nullptr) return E_POINTER;
    if (index >= items_.size()) return kBounds;
    Held<Abi>::Copy(items_[index], value);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Size(UINT32* value) override {
    if (value == nullptr) return E_POINTER;
    *value = static_cast<UINT32>(items_.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE IndexOf(Abi element, UINT32* index, BOOLEAN* found) override {
    if (index == nullptr || found == nullptr) return E_POINTER;
    *index = 0;
    *found = FALSE;
    if constexpr (std::is_pointer_v<Abi>) {
      for (UINT32 i = 0; i < items_.size(); ++i) {
        if (items_[i] == element) {
          *index = i;
          *found = TRUE;
          break;
        }
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 capacity, Abi* items,
                                    UINT32* count) override {
    if (count == nullptr || (items == nullptr && capacity > 0)) return E_POINTER;
    *count = 0;
    for (UINT32 i = start; i < items_.size() && *count < capacity; ++i) {
      Held<Abi>::Copy(items_[i], &items[(*count)++]);
    }
    return S_OK;
  }

  const std::vector<Abi>& items() const { return items_; }

 protected:
  ~VectorView() override {
    for (Abi& item : items_) Held<Abi>::Clear(item);
  }
  const wchar_t* ClassName() const override {
    return L"Windows.Foundation.Collections.IVectorView`1";
  }

 private:
  std::vector<Abi> items_;
};

}  // namespace quillmar::standin
