// Verification of Authenticode signatures, embedded in a file or through a system catalogue.
// Neither the trust functions nor the certificate function that names the signer are linked:
// LoadTrustLibrary loads "wintrust.dll" and "crypt32.dll" from the system folder once for the whole
// run, UnloadTrustLibrary releases them. All calls come from the UI thread.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>
#include <mscat.h>

// Result codes of the trust routines (0 is success).
constexpr DWORD kTrustOk = 0;
constexpr DWORD kTrustNotSigned = 0xE001;          // no embedded signature, no (valid) catalogue
constexpr DWORD kTrustLoadFailed = 0xE002;         // wintrust.dll or crypt32.dll could not be loaded
constexpr DWORD kTrustEntryPointMissing = 0xE003;  // one of the eleven entry points is missing
constexpr DWORD kTrustNoContext = 0xE004;          // the catalogue administrator context was refused
constexpr DWORD kTrustReleaseFailed = 0xE005;      // releasing the administrator context failed
constexpr DWORD kTrustFreeFailed = 0xE006;         // FreeLibrary failed
constexpr DWORD kTrustNotReady = 0xE007;           // not loaded, an entry point missing or no context
constexpr DWORD kTrustCannotOpen = 0xE008;         // the file could not be opened for hashing
constexpr DWORD kTrustNoSignerName = 0xE009;       // verified, but no signer common name
constexpr DWORD kTrustSignerNameTooLong = 0xE00A;  // verified, but the common name does not fit

// The caller's signer-name buffer, in characters including the terminator.
constexpr int kSignerNameLength = 500;

// Loads wintrust.dll and crypt32.dll, resolves the eleven entry points and acquires the catalogue
// administrator context, as far as each step succeeds. Idempotent: a second call changes nothing
// and returns 0. 0, kTrustLoadFailed, kTrustEntryPointMissing (the modules stay loaded) or
// kTrustNoContext.
DWORD LoadTrustLibrary();

// Releases the context, forgets the entry points and frees the modules. 0, kTrustReleaseFailed
// (then everything stays as it was) or kTrustFreeFailed.
DWORD UnloadTrustLibrary();

// Verifies the file's embedded signature, or else the catalogue that lists the file's hash.
// kTrustNotReady leaves verified and signerName untouched; otherwise verified is 1 when a
// signature verified (with 0, kTrustNoSignerName and kTrustSignerNameTooLong) and 0 otherwise.
// On 0, signerName holds the signer's common name (see ExtractCommonName).
DWORD VerifyFileSignature(const wchar_t* path, int& verified, wchar_t (&signerName)[kSignerNameLength]);

// The text after the first "CN=" of a distinguished name (as CertNameToStrW writes it with
// CERT_X500_NAME_STR) up to its end, without surrounding double quotes. Parts after the common
// name stay in the result. 0, kTrustNoSignerName (empty, no "CN=", nothing after it) or
// kTrustSignerNameTooLong; on failure signerName is untouched.
DWORD ExtractCommonName(wchar_t (&signerName)[kSignerNameLength], const wchar_t* distinguishedName);

// The process-wide state, exposed so that tests can observe and stand in for single entry points.
namespace trust_internal {

struct EntryPoints {  // in the order they are resolved
    decltype(&::CryptCATAdminAcquireContext) acquireContext;
    decltype(&::CryptCATAdminReleaseContext) releaseContext;
    decltype(&::CryptCATAdminCalcHashFromFileHandle) calcHashFromFileHandle;
    decltype(&::CryptCATAdminEnumCatalogFromHash) enumCatalogFromHash;
    decltype(&::CryptCATCatalogInfoFromContext) catalogInfoFromContext;
    decltype(&::CryptCATAdminReleaseCatalogContext) releaseCatalogContext;
    decltype(&::WinVerifyTrust) winVerifyTrust;
    decltype(&::WTHelperProvDataFromStateData) provDataFromStateData;
    decltype(&::WTHelperGetProvCertFromChain) getProvCertFromChain;  // required, never called
    decltype(&::WTHelperGetProvSignerFromChain) getProvSignerFromChain;
    decltype(&::CertNameToStrW) certNameToStr;  // from crypt32.dll
};

struct State {
    HMODULE module = nullptr;   // wintrust.dll
    HMODULE crypt32 = nullptr;
    EntryPoints functions{};
    HCATADMIN context = nullptr;
};

State& TrustState();

// cbStruct values: the sizes of the structures up to their last field that this code fills in
// (48, 16 and 36 in a 32-bit build).
constexpr DWORD kWinTrustDataSize = offsetof(WINTRUST_DATA, dwUIContext) + sizeof(DWORD);
constexpr DWORD kFileInfoSize = offsetof(WINTRUST_FILE_INFO, pgKnownSubject) + sizeof(GUID*);
constexpr DWORD kCatalogInfoSize = offsetof(WINTRUST_CATALOG_INFO, pcCatalogContext) + sizeof(PCCTL_CONTEXT);

}  // namespace trust_internal
