#include "DomExceptionRelay.h"

#include <xercesc/framework/MemoryManager.hpp>

#include <new>

namespace dezov {
namespace {

// Plain heap memory, usable before, during and after the XML library runs.
class ProcessHeap : public xercesc::MemoryManager {
 public:
  xercesc::MemoryManager* getExceptionMemoryManager() override { return this; }
  void* allocate(XMLSize_t size) override { return ::operator new(size); }
  void deallocate(void* block) override { ::operator delete(block); }
};

ProcessHeap& Heap() {
  static ProcessHeap heap;  // trivially destructible in effect: nothing to release
  return heap;
}

}  // namespace

void RelayDomException(const xercesc::DOMException& error) {
  throw xercesc::DOMException(error.code, 0, &Heap());
}

}  // namespace dezov
