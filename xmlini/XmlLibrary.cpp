// SPDX-License-Identifier: MIT
#include "XmlLibrary.h"

#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include <atomic>
#include <memory>
#include <string>

#include "../platform/Platform.h"

using namespace xercesc;

namespace dezov {
namespace {

std::atomic<bool> library_stopped{false};

// One start of the library, undone by its destructor. Being a static object of
// DeZov20, it is destroyed at exit or when DeZov20 is unloaded, after every
// static object whose construction started the library (a store of static
// storage duration included), so nothing uses the library after it stops.
class LibraryRun {
 public:
  LibraryRun() {
    try {
      XMLPlatformUtils::Initialize();
      started_ = true;
    } catch (const XMLException& e) {
      std::string message;  // the transcoders may not work: plain ASCII only
      for (const XMLCh* c = e.getMessage(); c && *c; ++c)
        message.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
      status_ = Status::IOError(message);
      return;
    }
    static const XMLCh kCore[] = {'C', 'o', 'r', 'e', 0};
    if (DOMImplementationRegistry::getDOMImplementation(kCore) == nullptr)
      status_ = Status::IOError("DOMImplementationRegistry::getDOMImplementation Fail");
  }
  LibraryRun(const LibraryRun&) = delete;
  LibraryRun& operator=(const LibraryRun&) = delete;
  ~LibraryRun() {
    library_stopped.store(true);
    if (started_) XMLPlatformUtils::Terminate();
  }
  const Status& status() const { return status_; }

 private:
  bool started_ = false;
  Status status_;
};

}  // namespace

const Status& StartXmlLibrary() {
  static const LibraryRun run;
  return run.status();
}

namespace {

// A thread's converter goes when the thread ends. Should the system end a
// thread after the library stopped (the main thread at exit, on some), the
// converter is left to the ending process: freeing it would use the library.
void DestroyCodec(void* codec) {
  if (!library_stopped.load()) std::unique_ptr<GbkCodec> destroyed(static_cast<GbkCodec*>(codec));
}

}  // namespace

GbkCodec& ThreadGbkCodec() {
  thread_local GbkCodec* codec = nullptr;
  if (codec == nullptr) {
    auto made = std::make_unique<GbkCodec>();
    platform::DestroyAtThreadExit(made.get(), DestroyCodec);  // else kept until exit
    codec = made.release();
  }
  return *codec;
}

}  // namespace dezov
