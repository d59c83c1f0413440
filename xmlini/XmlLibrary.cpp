#include "XmlLibrary.h"

#include <xercesc/dom/DOMImplementationRegistry.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include <string>

using namespace xercesc;

namespace dezov {
namespace {

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

GbkCodec& ThreadGbkCodec() {
  // A thread's objects die when it ends, and the main thread's before any
  // static object: always before the library stops.
  thread_local GbkCodec codec;
  return codec;
}

}  // namespace dezov
