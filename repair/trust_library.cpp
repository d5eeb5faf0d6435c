#include "repair/trust_library.h"

#include <softpub.h>

#include <cwchar>
#include <type_traits>
#include <vector>

#include "framework/handles.h"
#include "framework/system_library.h"

namespace trust_internal {

State& TrustState() {
    static State state;
    return state;
}

static_assert(sizeof(void*) != 4 || (kWinTrustDataSize == 48 && kFileInfoSize == 16 && kCatalogInfoSize == 36));

}  // namespace trust_internal

namespace {

using trust_internal::TrustState;

constexpr DWORD kHashBufferSize = 100;
constexpr DWORD kDistinguishedNameLength = 4096;

enum class Library { kWintrust, kCrypt32 };

// Applies visit(slot, name, library) to each entry point, in the order they are resolved.
template <class Visit>
void ForEachEntryPoint(trust_internal::EntryPoints& f, Visit&& visit) {
    visit(f.acquireContext, "CryptCATAdminAcquireContext", Library::kWintrust);
    visit(f.releaseContext, "CryptCATAdminReleaseContext", Library::kWintrust);
    visit(f.calcHashFromFileHandle, "CryptCATAdminCalcHashFromFileHandle", Library::kWintrust);
    visit(f.enumCatalogFromHash, "CryptCATAdminEnumCatalogFromHash", Library::kWintrust);
    visit(f.catalogInfoFromContext, "CryptCATCatalogInfoFromContext", Library::kWintrust);
    visit(f.releaseCatalogContext, "CryptCATAdminReleaseCatalogContext", Library::kWintrust);
    visit(f.winVerifyTrust, "WinVerifyTrust", Library::kWintrust);
    visit(f.provDataFromStateData, "WTHelperProvDataFromStateData", Library::kWintrust);
    visit(f.getProvCertFromChain, "WTHelperGetProvCertFromChain", Library::kWintrust);
    visit(f.getProvSignerFromChain, "WTHelperGetProvSignerFromChain", Library::kWintrust);
    visit(f.certNameToStr, "CertNameToStrW", Library::kCrypt32);
}

bool AllResolved(trust_internal::EntryPoints& functions) {
    bool all = true;
    ForEachEntryPoint(functions, [&all](auto& slot, const char*, Library) { all = all && slot != nullptr; });
    return all;
}

void ResolveAll(trust_internal::State& state) {
    ForEachEntryPoint(state.functions, [&state](auto& slot, const char* name, Library library) {
        HMODULE module = library == Library::kCrypt32 ? state.crypt32 : state.module;
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(::GetProcAddress(module, name));
    });
}

// Frees a module of the state; false when FreeLibrary fails (the module then stays).
bool FreeLoaded(HMODULE& module) {
    if (module == nullptr) return true;
    if (!::FreeLibrary(module)) return false;
    module = nullptr;
    return true;
}

WINTRUST_DATA MakeTrustData(DWORD unionChoice) {
    WINTRUST_DATA data{};
    data.cbStruct = trust_internal::kWinTrustDataSize;
    data.pPolicyCallbackData = nullptr;
    data.pSIPClientData = nullptr;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = unionChoice;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    data.hWVTStateData = nullptr;
    data.pwszURLReference = nullptr;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
    data.dwUIContext = WTD_UICONTEXT_EXECUTE;
    return data;
}

// Only 0 is a verified subject. A missing file or folder comes back as a positive Win32 code
// (2 or 3), which must not count as verified.
bool Verified(LONG status) { return status == 0; }

LONG CallWinVerifyTrust(WINTRUST_DATA& data) {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    return TrustState().functions.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
}

// Releases what a verification kept in its state data.
void CloseTrustState(WINTRUST_DATA& data) {
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    CallWinVerifyTrust(data);
}

// The common name of the first signer of a verification that succeeded.
DWORD SignerCommonName(HANDLE stateData, wchar_t (&signerName)[kSignerNameLength]) {
    const auto& functions = TrustState().functions;
    CRYPT_PROVIDER_DATA* provider = functions.provDataFromStateData(stateData);
    if (provider == nullptr) return kTrustNoSignerName;
    CRYPT_PROVIDER_SGNR* signer = functions.getProvSignerFromChain(provider, 0, FALSE, 0);
    if (signer == nullptr) return kTrustNoSignerName;
    if (signer->csCertChain == 0 || signer->pasCertChain == nullptr) return kTrustNoSignerName;
    PCCERT_CONTEXT certificate = signer->pasCertChain[0].pCert;
    if (certificate == nullptr || certificate->pCertInfo == nullptr) return kTrustNoSignerName;

    wchar_t name[kDistinguishedNameLength] = {};
    functions.certNameToStr(X509_ASN_ENCODING, &certificate->pCertInfo->Subject, CERT_X500_NAME_STR, name,
                            kDistinguishedNameLength);
    name[kDistinguishedNameLength - 1] = L'\0';
    return ExtractCommonName(signerName, name);
}

DWORD VerifyThroughCatalogue(const wchar_t* path, int& verified, wchar_t (&signerName)[kSignerNameLength]) {
    auto& state = TrustState();
    const auto& functions = state.functions;

    BYTE hash[kHashBufferSize] = {};
    DWORD hashLength = kHashBufferSize;
    {
        lark::UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) return kTrustCannotOpen;
        functions.calcHashFromFileHandle(file.get(), &hashLength, hash, 0);
    }
    // A failed hash may report the size it wanted; never read past the buffer.
    if (hashLength > kHashBufferSize) hashLength = kHashBufferSize;

    HCATINFO catalogue = functions.enumCatalogFromHash(state.context, hash, hashLength, 0, nullptr);
    if (catalogue == nullptr) return kTrustNotSigned;

    std::vector<wchar_t> memberTag(2 * hashLength + 1, L'\0');
    for (DWORD i = 0; i < hashLength; ++i) ::wsprintfW(&memberTag[2 * i], L"%02X", hash[i]);

    CATALOG_INFO info{};
    info.cbStruct = sizeof(info);
    functions.catalogInfoFromContext(catalogue, &info, 0);
    info.wszCatalogFile[MAX_PATH - 1] = L'\0';

    WINTRUST_CATALOG_INFO catalogueInfo{};
    catalogueInfo.cbStruct = trust_internal::kCatalogInfoSize;
    catalogueInfo.dwCatalogVersion = 0;
    catalogueInfo.pcwszCatalogFilePath = info.wszCatalogFile;
    catalogueInfo.pcwszMemberTag = memberTag.data();
    catalogueInfo.pcwszMemberFilePath = path;

    WINTRUST_DATA data = MakeTrustData(WTD_CHOICE_CATALOG);
    data.pCatalog = &catalogueInfo;
    DWORD result = kTrustNotSigned;
    if (Verified(CallWinVerifyTrust(data))) {
        verified = 1;
        result = SignerCommonName(data.hWVTStateData, signerName);
    }
    CloseTrustState(data);

    functions.releaseCatalogContext(state.context, catalogue, 0);
    return result;
}

}  // namespace

DWORD LoadTrustLibrary() {
    auto& state = TrustState();
    if (state.module == nullptr) {
        state.module = lark::LoadSystemLibrary(L"wintrust.dll");
        if (state.module == nullptr) return kTrustLoadFailed;
    }
    if (state.crypt32 == nullptr) {
        state.crypt32 = lark::LoadSystemLibrary(L"crypt32.dll");
        if (state.crypt32 == nullptr) return kTrustLoadFailed;
    }
    if (!AllResolved(state.functions)) {
        ResolveAll(state);
        if (!AllResolved(state.functions)) return kTrustEntryPointMissing;
    }
    if (state.context != nullptr) return kTrustOk;
    if (!state.functions.acquireContext(&state.context, nullptr, 0)) {
        state.context = nullptr;
        return kTrustNoContext;
    }
    return kTrustOk;
}

DWORD UnloadTrustLibrary() {
    auto& state = TrustState();
    if (state.context != nullptr) {
        if (!state.functions.releaseContext(state.context, 0)) return kTrustReleaseFailed;
        state.context = nullptr;
    }
    state.functions = {};
    const bool wintrustFreed = FreeLoaded(state.module);
    const bool crypt32Freed = FreeLoaded(state.crypt32);
    return wintrustFreed && crypt32Freed ? kTrustOk : kTrustFreeFailed;
}

DWORD VerifyFileSignature(const wchar_t* path, int& verified, wchar_t (&signerName)[kSignerNameLength]) {
    auto& state = TrustState();
    if (state.context == nullptr || !AllResolved(state.functions)) return kTrustNotReady;
    verified = 0;

    WINTRUST_FILE_INFO file{};
    file.cbStruct = trust_internal::kFileInfoSize;
    file.pcwszFilePath = path;
    file.hFile = nullptr;
    file.pgKnownSubject = nullptr;
    WINTRUST_DATA data = MakeTrustData(WTD_CHOICE_FILE);
    data.pFile = &file;

    if (Verified(CallWinVerifyTrust(data))) {
        verified = 1;
        const DWORD result = SignerCommonName(data.hWVTStateData, signerName);
        CloseTrustState(data);
        return result;
    }
    // A failed check keeps state data as well.
    CloseTrustState(data);
    return VerifyThroughCatalogue(path, verified, signerName);
}

DWORD ExtractCommonName(wchar_t (&signerName)[kSignerNameLength], const wchar_t* distinguishedName) {
    if (distinguishedName == nullptr || distinguishedName[0] == L'\0') return kTrustNoSignerName;
    const wchar_t* start = std::wcsstr(distinguishedName, L"CN=");
    if (start == nullptr) return kTrustNoSignerName;
    start += 3;
    size_t length = std::wcslen(start);
    if (length > static_cast<size_t>(kSignerNameLength)) return kTrustSignerNameTooLong;
    if (length == 0) return kTrustNoSignerName;
    if (start[0] == L'"') {
        ++start;
        --length;
        if (length == 0) return kTrustNoSignerName;
    }
    if (start[length - 1] == L'"') {
        --length;
        if (length == 0) return kTrustNoSignerName;
    }
    if (length + 1 > static_cast<size_t>(kSignerNameLength)) return kTrustSignerNameTooLong;
    std::wmemcpy(signerName, start, length);
    signerName[length] = L'\0';
    return kTrustOk;
}
