// Host identification: product-name fragments, version conversion and the chunk-vendor check.
#pragma once

#include <cstdint>

namespace vantor {

// The host identifier for a product string: the first table fragment found in the lower-cased
// string wins; 0 when none is found (also for an empty or null string).
int HostIdFromProduct(const char* product);

// A host version given as decimal digits (major * 10000 + minor * 100 + revision) in the
// 0xMMmmrr form (major << 16 | minor << 8 | revision).
int32_t HostVersionFromDecimal(int32_t version);

// True for the two host vendors whose chunk handling needs every chunk to be a program chunk;
// the comparison is of the whole lower-cased string.
bool IsProgramChunkOnlyVendor(const char* vendor);

// Identifiers of the hosts whose input pins beyond the second are disconnected at open.
bool HostDisconnectsExtraInputs(int host_id);

}  // namespace vantor
