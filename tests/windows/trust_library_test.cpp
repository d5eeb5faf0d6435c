// Signature verification against Wine's real wintrust, with programs signed at build time.
#include <gtest/gtest.h>

#include <windows.h>
#include <softpub.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/larkspur_dlg.h"
#include "repair/trust_library.h"
#include "resource.h"
#include "support/scripted_prompts.h"
#include "support/ui.h"

namespace {

using trust_internal::TrustState;

std::wstring Fixture(const wchar_t* name) {
    return test::UnixPathToWindows(test::Env(L"LARKSPUR_TEST_BIN_DIR")) + L"\\trust\\" + name;
}

std::wstring Hex(const BYTE* bytes, DWORD length) {
    std::wstring text;
    const wchar_t* digits = L"0123456789ABCDEF";
    for (DWORD i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::vector<BYTE> ReadAll(const std::wstring& path) {
    std::vector<BYTE> bytes;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(::GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()) {
        bytes.clear();
    }
    ::CloseHandle(file);
    return bytes;
}

// One DER element (short or long length form).
std::vector<BYTE> Der(BYTE tag, const std::vector<BYTE>& content) {
    std::vector<BYTE> out{tag};
    const size_t n = content.size();
    if (n < 0x80) {
        out.push_back(static_cast<BYTE>(n));
    } else {
        out.push_back(0x82);
        out.push_back(static_cast<BYTE>(n >> 8));
        out.push_back(static_cast<BYTE>(n));
    }
    out.insert(out.end(), content.begin(), content.end());
    return out;
}
std::vector<BYTE> Cat(std::initializer_list<std::vector<BYTE>> parts) {
    std::vector<BYTE> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::vector<BYTE> Encode(LPCSTR type, const void* value) {
    DWORD size = 0;
    if (!::CryptEncodeObjectEx(X509_ASN_ENCODING, type, value, 0, nullptr, nullptr, &size)) return {};
    std::vector<BYTE> encoded(size);
    if (!::CryptEncodeObjectEx(X509_ASN_ENCODING, type, value, 0, nullptr, encoded.data(), &size)) return {};
    encoded.resize(size);
    return encoded;
}

// A security catalogue that lists one file hash, signed with the fixtures' code-signing key
// (the certificate of signed.exe). Empty when a step fails.
std::vector<BYTE> MakeCatalogue(const std::vector<BYTE>& hash) {
    // The member's indirect data, written out by hand: SEQUENCE { SEQUENCE { PE image data OID,
    // empty SEQUENCE }, SEQUENCE { SEQUENCE { sha1, NULL }, OCTET STRING hash } }.
    const std::vector<BYTE> peImageOid = {0x2B, 0x06, 0x01, 0x04, 0x01, 0x82, 0x37, 0x02, 0x01, 0x0F};
    const std::vector<BYTE> sha1Oid = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
    std::vector<BYTE> indirectBytes = Der(0x30, Cat({Der(0x30, Cat({Der(0x06, peImageOid), Der(0x30, {})})),
                                                    Der(0x30, Cat({Der(0x30, Cat({Der(0x06, sha1Oid), Der(0x05, {})})),
                                                                   Der(0x04, hash)}))}));
    CAT_MEMBERINFO member{const_cast<wchar_t*>(L"{C689AAB8-8E78-11D0-8C47-00C04FC295EE}"), 0x200};
    std::vector<BYTE> memberBytes = Encode(CAT_MEMBERINFO_STRUCT, &member);
    if (memberBytes.empty()) return {};

    CRYPT_ATTR_BLOB indirectBlob{static_cast<DWORD>(indirectBytes.size()), indirectBytes.data()};
    CRYPT_ATTR_BLOB memberBlob{static_cast<DWORD>(memberBytes.size()), memberBytes.data()};
    CRYPT_ATTRIBUTE attributes[] = {{const_cast<char*>(CAT_MEMBERINFO_OBJID), 1, &memberBlob},
                                    {const_cast<char*>(SPC_INDIRECT_DATA_OBJID), 1, &indirectBlob}};
    const std::wstring tag = Hex(hash.data(), static_cast<DWORD>(hash.size()));
    CTL_ENTRY entry{};
    entry.SubjectIdentifier = {static_cast<DWORD>((tag.size() + 1) * sizeof(wchar_t)),
                               reinterpret_cast<BYTE*>(const_cast<wchar_t*>(tag.c_str()))};
    entry.cAttribute = 2;
    entry.rgAttribute = attributes;

    char catalogueList[] = "1.3.6.1.4.1.311.12.1.1";
    char* usage[] = {catalogueList};
    BYTE listId[16] = {'l', 'a', 'r', 'k', 's', 'p', 'u', 'r'};
    CTL_INFO ctl{};
    ctl.dwVersion = CTL_V1;
    ctl.SubjectUsage = {1, usage};
    ctl.ListIdentifier = {sizeof(listId), listId};
    ::GetSystemTimeAsFileTime(&ctl.ThisUpdate);
    ctl.SubjectAlgorithm.pszObjId = const_cast<char*>("1.3.6.1.4.1.311.12.1.2");
    ctl.cCTLEntry = 1;
    ctl.rgCTLEntry = &entry;

    std::vector<BYTE> signerDer = ReadAll(Fixture(L"signer.cer"));
    std::vector<BYTE> rootDer = ReadAll(Fixture(L"root.cer"));
    std::vector<BYTE> key = ReadAll(Fixture(L"signer.pvk"));
    if (signerDer.empty() || rootDer.empty() || key.size() <= 24) return {};
    PCCERT_CONTEXT signer = ::CertCreateCertificateContext(X509_ASN_ENCODING, signerDer.data(), static_cast<DWORD>(signerDer.size()));
    HCRYPTPROV provider = 0;
    if (!::CryptAcquireContextW(&provider, L"larkspur-catalogue", nullptr, PROV_RSA_FULL, CRYPT_NEWKEYSET) &&
        !::CryptAcquireContextW(&provider, L"larkspur-catalogue", nullptr, PROV_RSA_FULL, 0)) {
        provider = 0;
    }
    HCRYPTKEY imported = 0;
    std::vector<BYTE> signedCatalogue;
    // A PVK file: a 24-byte header, then the private-key blob.
    if (signer && provider && ::CryptImportKey(provider, key.data() + 24, static_cast<DWORD>(key.size() - 24), 0, 0, &imported)) {
        CMSG_SIGNER_ENCODE_INFO signerInfo{};
        signerInfo.cbSize = sizeof(signerInfo);
        signerInfo.pCertInfo = signer->pCertInfo;
        signerInfo.hCryptProv = provider;
        signerInfo.dwKeySpec = AT_KEYEXCHANGE;
        signerInfo.HashAlgorithm.pszObjId = const_cast<char*>(szOID_OIWSEC_sha1);
        CERT_BLOB certificates[] = {{static_cast<DWORD>(signerDer.size()), signerDer.data()},
                                    {static_cast<DWORD>(rootDer.size()), rootDer.data()}};
        CMSG_SIGNED_ENCODE_INFO signedInfo{};
        signedInfo.cbSize = sizeof(signedInfo);
        signedInfo.cSigners = 1;
        signedInfo.rgSigners = &signerInfo;
        signedInfo.cCertEncoded = 2;
        signedInfo.rgCertEncoded = certificates;
        DWORD size = 0;
        if (::CryptMsgEncodeAndSignCTL(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, &ctl, &signedInfo, 0, nullptr, &size)) {
            signedCatalogue.resize(size);
            if (!::CryptMsgEncodeAndSignCTL(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, &ctl, &signedInfo, 0,
                                            signedCatalogue.data(), &size)) {
                signedCatalogue.clear();
            }
            signedCatalogue.resize(size);
        }
        ::CryptDestroyKey(imported);
    }
    if (provider) {
        ::CryptReleaseContext(provider, 0);
        ::CryptAcquireContextW(&provider, L"larkspur-catalogue", nullptr, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
    }
    if (signer) ::CertFreeCertificateContext(signer);
    return signedCatalogue;
}

// What reached WinVerifyTrust, one entry per call.
struct TrustCall {
    HWND window;
    GUID action;
    WINTRUST_DATA data;  // as passed in; union pointer not followed
    HANDLE stateOut;
    LONG status;
    WINTRUST_FILE_INFO file;
    std::wstring filePath;
    WINTRUST_CATALOG_INFO catalogue;
    std::wstring cataloguePath, memberTag, memberPath;
};

// Stand-ins that record and, unless told otherwise, pass through to the real entry points.
struct Recorder {
    trust_internal::EntryPoints real{};
    std::vector<TrustCall> trustCalls;
    int hashCalls = 0;
    std::vector<BYTE> enumHash;
    int enumCalls = 0;
    int acquireCalls = 0;
    // The catalogue stand-ins: a fake catalogue, its path, and the catalogue check's answer.
    bool fakeCatalogue = false;
    std::wstring fakeCataloguePath;
    LONG catalogueStatus = 0;
    std::vector<std::pair<HCATADMIN, HCATINFO>> catalogueReleases;
};
Recorder* recorder = nullptr;
HCATINFO const kFakeCatalogue = reinterpret_cast<HCATINFO>(static_cast<INT_PTR>(0x5EED));

LONG WINAPI RecordWinVerifyTrust(HWND window, GUID* action, void* raw) {
    auto* data = static_cast<WINTRUST_DATA*>(raw);
    TrustCall call{};
    call.window = window;
    call.action = *action;
    call.data = *data;
    if (data->dwUnionChoice == WTD_CHOICE_FILE) {
        call.file = *data->pFile;
        call.filePath = data->pFile->pcwszFilePath;
    } else if (data->dwUnionChoice == WTD_CHOICE_CATALOG) {
        call.catalogue = *data->pCatalog;
        call.cataloguePath = data->pCatalog->pcwszCatalogFilePath;
        call.memberTag = data->pCatalog->pcwszMemberTag;
        call.memberPath = data->pCatalog->pcwszMemberFilePath;
    }
    if (recorder->fakeCatalogue && data->dwUnionChoice == WTD_CHOICE_CATALOG) {
        call.status = data->dwStateAction == WTD_STATEACTION_VERIFY ? recorder->catalogueStatus : 0;
    } else {
        call.status = recorder->real.winVerifyTrust(window, action, raw);
    }
    call.stateOut = data->hWVTStateData;
    recorder->trustCalls.push_back(call);
    return call.status;
}
BOOL WINAPI RecordCalcHash(HANDLE file, DWORD* length, BYTE* hash, DWORD flags) {
    ++recorder->hashCalls;
    return recorder->real.calcHashFromFileHandle(file, length, hash, flags);
}
HCATINFO WINAPI RecordEnumCatalogue(HCATADMIN context, BYTE* hash, DWORD length, DWORD flags, HCATINFO* previous) {
    ++recorder->enumCalls;
    recorder->enumHash.assign(hash, hash + length);
    if (recorder->fakeCatalogue) return kFakeCatalogue;
    return recorder->real.enumCatalogFromHash(context, hash, length, flags, previous);
}
BOOL WINAPI FakeCatalogueInfo(HCATINFO catalogue, CATALOG_INFO* info, DWORD) {
    if (catalogue != kFakeCatalogue || info->cbStruct != sizeof(CATALOG_INFO)) return FALSE;
    // Exactly as many characters as the record holds, without a terminator.
    for (int i = 0; i < MAX_PATH; ++i) {
        info->wszCatalogFile[i] = i < static_cast<int>(recorder->fakeCataloguePath.size())
                                      ? recorder->fakeCataloguePath[i] : L'x';
    }
    return TRUE;
}
BOOL WINAPI RecordReleaseCatalogue(HCATADMIN context, HCATINFO catalogue, DWORD flags) {
    recorder->catalogueReleases.emplace_back(context, catalogue);
    if (catalogue == kFakeCatalogue) return TRUE;
    return recorder->real.releaseCatalogContext(context, catalogue, flags);
}
BOOL WINAPI RecordAcquire(HCATADMIN* context, const GUID* subsystem, DWORD flags) {
    ++recorder->acquireCalls;
    return recorder->real.acquireContext(context, subsystem, flags);
}

class TrustLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(LoadTrustLibrary(), kTrustOk);
        rec.real = TrustState().functions;
        recorder = &rec;
    }
    void TearDown() override {
        TrustState().functions = rec.real;
        recorder = nullptr;
        EXPECT_EQ(UnloadTrustLibrary(), kTrustOk);
    }
    void Record() {
        auto& functions = TrustState().functions;
        functions.winVerifyTrust = RecordWinVerifyTrust;
        functions.calcHashFromFileHandle = RecordCalcHash;
        functions.enumCatalogFromHash = RecordEnumCatalogue;
        functions.releaseCatalogContext = RecordReleaseCatalogue;
    }

    Recorder rec;
    int verified = 7;
    wchar_t name[kSignerNameLength] = L"sentinel";
};

TEST_F(TrustLibrary, VerifiesFilesAndNamesTheirSigners) {
    struct Case {
        const wchar_t* file;
        DWORD result;
        int verified;
        const wchar_t* signer;
    } cases[] = {
        {L"signed.exe", kTrustOk, 1, L"Larkspur Code Signer"},
        {L"comma.exe", kTrustOk, 1, L"Signer, Comma and Co"},     // written in quotes by CertNameToStrW
        {L"nocn.exe", kTrustNoSignerName, 1, L"sentinel"},        // verified, but no common name
        {L"unsigned.exe", kTrustNotSigned, 0, L"sentinel"},       // and no catalogue lists it
        {L"bad.exe", kTrustNotSigned, 0, L"sentinel"},            // one byte changed after signing
        {L"missing.exe", kTrustCannotOpen, 0, L"sentinel"},        // WinVerifyTrust answers 2: not verified
        {L"absent\\missing.exe", kTrustCannotOpen, 0, L"sentinel"},  // and 3
    };
    for (const Case& c : cases) {
        int flag = 7;
        wchar_t signer[kSignerNameLength] = L"sentinel";
        EXPECT_EQ(VerifyFileSignature(Fixture(c.file).c_str(), flag, signer), c.result) << c.file;
        EXPECT_EQ(flag, c.verified) << c.file;
        EXPECT_STREQ(signer, c.signer) << c.file;
    }
}

TEST_F(TrustLibrary, EmbeddedSignatureNeedsNoCatalogue) {
    Record();
    const std::wstring path = Fixture(L"signed.exe");
    ASSERT_EQ(VerifyFileSignature(path.c_str(), verified, name), kTrustOk);
    EXPECT_STREQ(name, L"Larkspur Code Signer");

    // The catalogue branch is never entered: its file opening is followed by the hash, always.
    EXPECT_EQ(rec.hashCalls, 0);
    EXPECT_EQ(rec.enumCalls, 0);
    ASSERT_EQ(rec.trustCalls.size(), 2u);
    const TrustCall& check = rec.trustCalls[0];
    const GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    EXPECT_EQ(check.window, static_cast<HWND>(INVALID_HANDLE_VALUE));
    EXPECT_TRUE(IsEqualGUID(check.action, action));
    EXPECT_EQ(check.data.cbStruct, trust_internal::kWinTrustDataSize);
    EXPECT_EQ(check.data.pPolicyCallbackData, nullptr);
    EXPECT_EQ(check.data.pSIPClientData, nullptr);
    EXPECT_EQ(check.data.dwUIChoice, DWORD{WTD_UI_NONE});
    EXPECT_EQ(check.data.fdwRevocationChecks, DWORD{WTD_REVOKE_NONE});
    EXPECT_EQ(check.data.dwUnionChoice, DWORD{WTD_CHOICE_FILE});
    EXPECT_EQ(check.data.dwStateAction, DWORD{WTD_STATEACTION_VERIFY});
    EXPECT_EQ(check.data.pwszURLReference, nullptr);
    EXPECT_EQ(check.data.dwProvFlags, DWORD{WTD_REVOCATION_CHECK_NONE});
    EXPECT_EQ(check.data.dwUIContext, 0u);
    EXPECT_EQ(check.file.cbStruct, trust_internal::kFileInfoSize);
    EXPECT_EQ(check.filePath, path);
    EXPECT_EQ(check.file.hFile, nullptr);
    EXPECT_EQ(check.file.pgKnownSubject, nullptr);
    EXPECT_NE(check.stateOut, nullptr);

    const TrustCall& close = rec.trustCalls[1];
    EXPECT_EQ(close.data.dwStateAction, DWORD{WTD_STATEACTION_CLOSE});
    EXPECT_EQ(close.data.hWVTStateData, check.stateOut);
    EXPECT_EQ(close.filePath, path);
}

TEST_F(TrustLibrary, FailedCheckReleasesItsStateBeforeTheCatalogueLookup) {
    Record();
    const std::wstring path = Fixture(L"bad.exe");
    ASSERT_EQ(VerifyFileSignature(path.c_str(), verified, name), kTrustNotSigned);
    EXPECT_EQ(verified, 0);
    ASSERT_EQ(rec.trustCalls.size(), 2u);
    EXPECT_EQ(rec.trustCalls[0].status, static_cast<LONG>(TRUST_E_BAD_DIGEST));
    EXPECT_EQ(rec.trustCalls[1].data.dwStateAction, DWORD{WTD_STATEACTION_CLOSE});
    EXPECT_EQ(rec.trustCalls[1].data.hWVTStateData, rec.trustCalls[0].stateOut);
    EXPECT_EQ(rec.trustCalls[1].stateOut, nullptr);
    EXPECT_EQ(rec.hashCalls, 1);
    EXPECT_EQ(rec.enumCalls, 1);
    EXPECT_EQ(rec.enumHash.size(), 20u);  // SHA-1
    EXPECT_TRUE(rec.catalogueReleases.empty());
}

TEST_F(TrustLibrary, CatalogueCheckGetsTheMemberTagAndReleasesTheCatalogue) {
    Record();
    TrustState().functions.catalogInfoFromContext = FakeCatalogueInfo;
    rec.fakeCatalogue = true;
    rec.fakeCataloguePath = L"C:\\windows\\system32\\catroot\\{127D0A1D-4EF2-11D1-8608-00C04FC295EE}\\larkspur.cat";
    const std::wstring path = Fixture(L"unsigned.exe");

    struct Case {
        LONG status;
        DWORD result;
        int verified;
    } cases[] = {
        {static_cast<LONG>(TRUST_E_NOSIGNATURE), kTrustNotSigned, 0},
        {ERROR_FILE_NOT_FOUND, kTrustNotSigned, 0},  // positive codes are failures too
        {0, kTrustNoSignerName, 1},  // verified, but the stand-in keeps no provider data
    };
    for (const Case& c : cases) {
        rec.trustCalls.clear();
        rec.catalogueReleases.clear();
        rec.catalogueStatus = c.status;
        verified = 7;
        EXPECT_EQ(VerifyFileSignature(path.c_str(), verified, name), c.result);
        EXPECT_EQ(verified, c.verified);

        ASSERT_EQ(rec.trustCalls.size(), 4u);  // file check and close, catalogue check and close
        const TrustCall& check = rec.trustCalls[2];
        EXPECT_EQ(check.data.cbStruct, trust_internal::kWinTrustDataSize);
        EXPECT_EQ(check.data.dwUnionChoice, DWORD{WTD_CHOICE_CATALOG});
        EXPECT_EQ(check.data.dwStateAction, DWORD{WTD_STATEACTION_VERIFY});
        EXPECT_EQ(check.data.dwUIChoice, DWORD{WTD_UI_NONE});
        EXPECT_EQ(check.data.dwProvFlags, DWORD{WTD_REVOCATION_CHECK_NONE});
        EXPECT_EQ(check.catalogue.cbStruct, trust_internal::kCatalogInfoSize);
        EXPECT_EQ(check.catalogue.dwCatalogVersion, 0u);
        // The record's path had no terminator: it is cut at the record's end, never read past it.
        EXPECT_EQ(check.cataloguePath, (rec.fakeCataloguePath + std::wstring(MAX_PATH, L'x')).substr(0, MAX_PATH - 1));
        ASSERT_EQ(rec.enumHash.size(), 20u);
        EXPECT_EQ(check.memberTag, Hex(rec.enumHash.data(), 20));
        EXPECT_EQ(check.memberPath, path);
        EXPECT_EQ(check.catalogue.hMemberFile, nullptr);
        EXPECT_EQ(check.catalogue.pbCalculatedFileHash, nullptr);
        EXPECT_EQ(check.catalogue.cbCalculatedFileHash, 0u);
        EXPECT_EQ(check.catalogue.pcCatalogContext, nullptr);
        EXPECT_EQ(rec.trustCalls[3].data.dwStateAction, DWORD{WTD_STATEACTION_CLOSE});
        EXPECT_EQ(rec.trustCalls[3].data.dwUnionChoice, DWORD{WTD_CHOICE_CATALOG});

        ASSERT_EQ(rec.catalogueReleases.size(), 1u);
        EXPECT_EQ(rec.catalogueReleases[0].first, TrustState().context);
        EXPECT_EQ(rec.catalogueReleases[0].second, kFakeCatalogue);
    }
}

TEST_F(TrustLibrary, FileListedInASignedCatalogueVerifiesThroughIt) {
    const std::wstring path = Fixture(L"unsigned.exe");
    std::vector<BYTE> hash(100);
    DWORD hashLength = 100;
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(rec.real.calcHashFromFileHandle(file, &hashLength, hash.data(), 0));
    ::CloseHandle(file);
    hash.resize(hashLength);

    // Installed the way setup programs install catalogues, into the catroot folder.
    const std::vector<BYTE> catalogue = MakeCatalogue(hash);
    ASSERT_FALSE(catalogue.empty()) << ::GetLastError();
    const std::wstring source = test::TempPath(L"larkspur.cat");
    HANDLE out = ::CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(out, catalogue.data(), static_cast<DWORD>(catalogue.size()), &written, nullptr));
    ::CloseHandle(out);
    auto addCatalogue = reinterpret_cast<decltype(&::CryptCATAdminAddCatalog)>(
        ::GetProcAddress(TrustState().module, "CryptCATAdminAddCatalog"));
    auto removeCatalogue = reinterpret_cast<decltype(&::CryptCATAdminRemoveCatalog)>(
        ::GetProcAddress(TrustState().module, "CryptCATAdminRemoveCatalog"));
    ASSERT_TRUE(addCatalogue && removeCatalogue);
    HCATINFO added = addCatalogue(TrustState().context, const_cast<wchar_t*>(source.c_str()),
                                  const_cast<wchar_t*>(L"larkspur.cat"), 0);
    ASSERT_NE(added, nullptr) << ::GetLastError();
    rec.real.releaseCatalogContext(TrustState().context, added, 0);

    Record();
    EXPECT_EQ(VerifyFileSignature(path.c_str(), verified, name), kTrustOk);
    EXPECT_EQ(verified, 1);
    EXPECT_STREQ(name, L"Larkspur Code Signer");
    ASSERT_EQ(rec.trustCalls.size(), 4u);
    EXPECT_EQ(rec.trustCalls[0].status, static_cast<LONG>(TRUST_E_NOSIGNATURE));
    const TrustCall& check = rec.trustCalls[2];
    EXPECT_EQ(check.data.dwUnionChoice, DWORD{WTD_CHOICE_CATALOG});
    EXPECT_EQ(check.status, 0);
    EXPECT_NE(check.cataloguePath.find(L"\\catroot\\"), std::wstring::npos) << check.cataloguePath;
    EXPECT_EQ(check.memberTag, Hex(hash.data(), hashLength));
    EXPECT_EQ(rec.catalogueReleases.size(), 1u);

    EXPECT_TRUE(removeCatalogue(TrustState().context, L"larkspur.cat", 0));
}

TEST_F(TrustLibrary, LoadingAgainAcquiresNoSecondContext) {
    const HCATADMIN context = TrustState().context;
    ASSERT_NE(context, nullptr);
    TrustState().functions.acquireContext = RecordAcquire;
    EXPECT_EQ(LoadTrustLibrary(), kTrustOk);
    EXPECT_EQ(rec.acquireCalls, 0);
    EXPECT_EQ(TrustState().context, context);
}

TEST_F(TrustLibrary, WithoutAnEntryPointNothingIsVerified) {
    TrustState().functions.getProvCertFromChain = nullptr;  // required although never called
    EXPECT_EQ(VerifyFileSignature(Fixture(L"signed.exe").c_str(), verified, name), kTrustNotReady);
    EXPECT_EQ(verified, 7);
    EXPECT_STREQ(name, L"sentinel");
    // Loading again resolves the missing one.
    EXPECT_EQ(LoadTrustLibrary(), kTrustOk);
    EXPECT_EQ(VerifyFileSignature(Fixture(L"signed.exe").c_str(), verified, name), kTrustOk);
}

TEST(TrustLibraryLifetime, VerificationNeedsTheLoadedLibrary) {
    const std::wstring path = Fixture(L"signed.exe");
    int verified = 7;
    wchar_t name[kSignerNameLength] = L"sentinel";
    EXPECT_EQ(VerifyFileSignature(path.c_str(), verified, name), kTrustNotReady);
    EXPECT_EQ(verified, 7);
    EXPECT_STREQ(name, L"sentinel");

    ASSERT_EQ(LoadTrustLibrary(), kTrustOk);
    auto& state = TrustState();
    EXPECT_NE(state.module, nullptr);
    EXPECT_NE(state.context, nullptr);
    // From the system folder.
    wchar_t loaded[MAX_PATH] = {};
    ASSERT_GT(::GetModuleFileNameW(state.module, loaded, MAX_PATH), 0u);
    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(::lstrcmpiW(loaded, (std::wstring(system) + L"\\wintrust.dll").c_str()), 0) << loaded;
    EXPECT_EQ(VerifyFileSignature(path.c_str(), verified, name), kTrustOk);

    EXPECT_EQ(UnloadTrustLibrary(), kTrustOk);
    EXPECT_EQ(state.module, nullptr);
    EXPECT_EQ(state.context, nullptr);
    verified = 7;
    name[0] = L'\0';
    EXPECT_EQ(VerifyFileSignature(path.c_str(), verified, name), kTrustNotReady);
    EXPECT_EQ(verified, 7);
    EXPECT_STREQ(name, L"");
    EXPECT_EQ(UnloadTrustLibrary(), kTrustOk);  // nothing left to release
}

TEST(TrustLibraryLifetime, MainWindowLoadsItAndReleasesItOnCancel) {
    test::ScriptedPrompts prompts;
    CLarkspurDlg dialog;
    {
        test::DialogAnswerer notice([](HWND d) { return test::HasChildWithText(d, L"说  明"); }, IDOK);
        ASSERT_TRUE(dialog.Create(IDD_MAIN, nullptr));
    }
    EXPECT_NE(TrustState().context, nullptr);
    dialog.SendMessage(WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(TrustState().module, nullptr);
    EXPECT_EQ(TrustState().context, nullptr);
    dialog.DestroyWindow();
}

TEST(ExtractCommonName, TakesTheTextAfterTheFirstCommonNameTag) {
    const std::wstring n499(499, L'n'), n500(500, L'n'), n501(501, L'n'), n498(498, L'n');
    struct Case {
        std::wstring dn;
        DWORD result;
        std::wstring name;  // expected on 0
    } cases[] = {
        {L"C=US, O=Larkspur Tests, CN=Larkspur Code Signer", kTrustOk, L"Larkspur Code Signer"},
        {L"C=US, CN=\"Signer, Comma and Co\"", kTrustOk, L"Signer, Comma and Co"},
        {L"CN=Probe Code Signer, O=Probe Org, L=Testville, C=US", kTrustOk, L"Probe Code Signer, O=Probe Org, L=Testville, C=US"},
        {L"CN=first, CN=second", kTrustOk, L"first, CN=second"},
        {L"O=x, cn=lower case", kTrustNoSignerName, L""},  // the tag is case-sensitive
        {L"", kTrustNoSignerName, L""},
        {L"C=US, O=Larkspur Tests, OU=No Common Name", kTrustNoSignerName, L""},
        {L"O=x, CN=", kTrustNoSignerName, L""},
        {L"CN=\"", kTrustNoSignerName, L""},
        {L"CN=\"\"", kTrustNoSignerName, L""},
        {L"CN=" + n499, kTrustOk, n499},
        {L"CN=" + n500, kTrustSignerNameTooLong, L""},                // no room for the terminator
        {L"CN=\"" + n498 + L"\"", kTrustOk, n498},                    // 500 characters with the quotes
        {L"CN=" + n501, kTrustSignerNameTooLong, L""},
        {L"CN=" + std::wstring(4000, L'n'), kTrustSignerNameTooLong, L""},
    };
    for (const Case& c : cases) {
        wchar_t name[kSignerNameLength + 1];
        std::wmemset(name, L'#', kSignerNameLength + 1);
        const DWORD result = ExtractCommonName(reinterpret_cast<wchar_t(&)[kSignerNameLength]>(name), c.dn.c_str());
        EXPECT_EQ(result, c.result) << c.dn.size();
        if (c.result == kTrustOk) {
            EXPECT_EQ(std::wstring(name), c.name) << c.dn.size();
        } else {
            EXPECT_EQ(name[0], L'#') << c.dn.size();  // untouched
        }
        EXPECT_EQ(name[kSignerNameLength], L'#') << c.dn.size();  // nothing past the buffer
    }
}

}  // namespace
