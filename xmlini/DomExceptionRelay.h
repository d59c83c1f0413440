// Lets the DOM's exceptions out of the store safely. The DOM allocates an
// exception's message with the XML library's memory manager, which is gone
// once the library stops (DeZov20 unloading, or the process ending); a caller
// that catches the exception then would free the message into nothing.
// Exceptions leaving the store are therefore rebuilt on a manager that never
// goes away.
#ifndef DEZOV20_XMLINI_DOM_EXCEPTION_RELAY_H
#define DEZOV20_XMLINI_DOM_EXCEPTION_RELAY_H

#include <xercesc/dom/DOMException.hpp>

namespace dezov {

// Throws a copy of error whose message outlives the XML library.
[[noreturn]] void RelayDomException(const xercesc::DOMException& error);

// Runs a DOM call; a DOMException it raises leaves through RelayDomException.
template <typename Call>
auto WithRelayedDomExceptions(Call call) -> decltype(call()) {
  try {
    return call();
  } catch (const xercesc::DOMException& error) {
    RelayDomException(error);
  }
}

}  // namespace dezov

#endif  // DEZOV20_XMLINI_DOM_EXCEPTION_RELAY_H
