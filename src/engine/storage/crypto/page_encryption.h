// Opening and creating encrypted databases: which scheme a header page asks for, and the codec
// for its pages.
//
//   format    encoding key (0x3E)  pages
//   Jet 3, 4  0                    in the clear
//   Jet 3, 4  other                Jet RC4 page encoding (jet_rc4_codec.h); no password
//   ACE       0                    in the clear
//   ACE       other                Office encryption as the description says
//                                  (encryption_description.h): agile (agile_encryption.h) or
//                                  CryptoAPI (cryptoapi_encryption.h)
//
// A Jet database password is a separate check (HeaderPage::passwordMatches).
#pragma once

#include "engine/storage/crypto/encryption_description.h"
#include "engine/storage/header_page.h"

namespace engine::storage {

// The codec for the database's pages, or nullptr when they are stored in the clear (a password
// is then ignored). password is UTF-8 and used exactly as given. Throws InvalidPassword ("Not
// a valid password.") when an Office-encrypted file does not open with it, Corrupt for a
// damaged description and NotSupported for a scheme this engine cannot read.
std::unique_ptr<PageCodec> openPageCodec(const HeaderPage& header, const std::string& password);

// New encryption for a database; store it with HeaderPage::setEncryption and give the codec to
// the pager. Throws InvalidArgument for a password longer than 255 characters.
//   Jet RC4 page encoding (Jet 3 and Jet 4 files):
NewEncryption createJetEncoding();
//   agile encryption as Access 2010 and later write it (ACE files):
NewEncryption createAgileEncryption(const std::string& password);
//   RC4 CryptoAPI encryption, which Access 2007 also reads (ACE files):
NewEncryption createRc4CryptoApiEncryption(const std::string& password);

}  // namespace engine::storage
