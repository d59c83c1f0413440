// SPDX-License-Identifier: MIT
// The XML library, started once per process on first use and stopped when
// DeZov20 is unloaded or the process ends, never while a store exists. A host
// that starts and stops the library itself only adds its own pairs to the
// library's count, which this start keeps above zero.
#ifndef DEZOV20_XMLINI_XML_LIBRARY_H
#define DEZOV20_XMLINI_XML_LIBRARY_H

#include "../platform/Status.h"
#include "GbkCodec.h"

namespace dezov {

// Starts the library on the first call (safe from any thread) and checks that
// it offers the DOM implementation "Core"; later calls give the same result.
const Status& StartXmlLibrary();

// The calling thread's GBK converter, made on the thread's first use: a
// converter keeps state between calls, so threads never share one. Needs the
// library started.
GbkCodec& ThreadGbkCodec();

}  // namespace dezov

#endif  // DEZOV20_XMLINI_XML_LIBRARY_H
