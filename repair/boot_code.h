// Recognising the boot code of a master boot record. Pure code, no Windows header: also built on
// the host.
#pragma once

#include <cstddef>

// Whether the sector holds a boot code of a kind we accept: at some offset i from 0 to 511, the
// little-endian words at i and i + 8 are "Inva" and "part" (the text "Invalid partition table" of
// the usual Windows boot codes), or those at i and i + 4 are "Disk" and "Geni". Bytes at or past
// `size` read as zero, so a match that needs them does not count; nothing past `size` is read.
bool IsAcceptedBootCode(const unsigned char* sector, size_t size);
