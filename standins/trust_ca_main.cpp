// brisvane-trust-ca.exe: makes the Windows (or Wine prefix) it runs in trust a certificate
// authority, as an organisation's IT department deploys its own to the members' machines: the
// certificate joins the local machine's Root store, where WinHTTP looks for trusted authorities.
// For test prefixes and the demo: the lookup service's throwaway authority.
//   brisvane-trust-ca.exe <certificate.der>
// Exits 0 once the certificate is in the store (again, if it was already).
#include <windows.h>
// The certificate API, which WIN32_LEAN_AND_MEAN keeps out of windows.h.
#include <wincrypt.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

struct CertStoreCloser {
    void operator()(HCERTSTORE store) const noexcept { CertCloseStore(store, 0); }
};
// A certificate store opened with CertOpenStore (link crypt32).
using UniqueCertStore = std::unique_ptr<void, CertStoreCloser>;

constexpr std::size_t kMaxCertificateSize = std::size_t{64} * 1024;

int Fail(const char* what, DWORD code) {
    std::fprintf(stderr, "brisvane-trust-ca: %s (error %lu)\n", what, code);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brisvane-trust-ca <certificate.der>\n");
        return 2;
    }
    std::ifstream file(std::filesystem::path(argv[1]), std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "brisvane-trust-ca: cannot read %ls\n", argv[1]);
        return 1;
    }
    const std::vector<BYTE> der((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
    if (der.empty() || der.size() > kMaxCertificateSize) {
        std::fprintf(stderr, "brisvane-trust-ca: %ls is not a DER certificate\n", argv[1]);
        return 1;
    }

    const UniqueCertStore root(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    if (root == nullptr) {
        return Fail("cannot open the local machine's Root store", GetLastError());
    }
    if (!CertAddEncodedCertificateToStore(root.get(), X509_ASN_ENCODING, der.data(),
                                          static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        return Fail("cannot add the certificate to the Root store", GetLastError());
    }
    std::printf("Trusted: %ls\n", argv[1]);
    return 0;
}
