// Gathers one report of everything the fast check and the pages see, through the same routines and
// the same texts, with sinks of its own. It changes nothing: no key or file is created or written,
// the boot sector is not read (its row is not ticked at start), nothing is started and no window is
// made. Signatures are verified only when the trust library was loaded (LoadTrustLibrary); otherwise
// they show as not verifiable.
#pragma once

#include <windows.h>

#include "report/report_model.h"

namespace report {

// The fast check's rows as "检  测" leaves them with the rows ticked at start, then the file
// associations, image hijacks, add-ons, HOSTS file, Winsock catalogue and firewall exceptions as
// their pages list them. found: a fast-check row found a problem, or the image-hijack page lists
// an entry.
Report CollectReport(bool& found);

// What the report says about a provider's signature ("签名正确" ...) for VerifyFileSignature's
// result; the signer only for a verified signature with a name.
struct SignatureVerdict {
    const wchar_t* text;
    std::wstring signer;
};
SignatureVerdict SignatureOf(const wchar_t* path);

}  // namespace report
