#pragma once

#include <openssl/pkcs12.h>
#include <QByteArray>

namespace kyt::certinfo {

// Every key derivation of a bundle (its MAC, each encrypted part, each encrypted key) repeats a
// hash as often as the bundle says. Exporters ask for a few thousand rounds; a count far beyond
// that comes from a damaged or hostile file and would keep the reader busy for minutes (2^31
// rounds take over ten). Such a bundle is refused before any of that work is done.
inline constexpr long long kMostRoundsPerDerivation = 1'000'000;
// All derivations of one bundle together: a file of many parts each just under the bound is no
// more welcome than one part above it.
inline constexpr long long kMostRoundsPerBundle = 3'000'000;

// True when opening `bundle` with `password` (UTF-8, may be empty) would derive a key over more
// rounds than the bounds above allow. Encrypted parts within the bounds are decrypted to look at
// the keys inside; parts that do not decrypt with this password are left for the parser to report.
bool exceedsKeyDerivationBound(PKCS12* bundle, const QByteArray& password);

} // namespace kyt::certinfo
