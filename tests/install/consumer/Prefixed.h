// SPDX-License-Identifier: MIT
// What the part of the consumer that includes <DeZov20/...> offers.
#ifndef DEZOV20_CONSUMER_PREFIXED_H
#define DEZOV20_CONSUMER_PREFIXED_H

// Writes a key into the INI file fileName and reads it back; true when it round-trips.
bool IniRoundTrip(const char* fileName);

#endif  // DEZOV20_CONSUMER_PREFIXED_H
