#pragma once

#include <QByteArray>

// The cipher of the picture files shipped in the adornments and graphics
// libraries ("twpng", "twjpg", "tweps"). It only keeps the pictures from being
// lifted out of the libraries as plain files; it is no protection. The same
// keyed XOR both enciphers and deciphers.
namespace TWImageEncryption {

QByteArray decryptedData(const QByteArray &data);
QByteArray encryptedData(const QByteArray &data);

} // namespace TWImageEncryption
