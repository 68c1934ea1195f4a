#pragma once

#include <QString>

// Where a remembered password is kept: the system's keyring (Secret
// Service on Linux, the Credential Manager on Windows, the Keychain on
// macOS), never a file of ours. A machine without one keeps no password:
// available() says why, and the caller asks for it again next time.
//
// Calls wait for the keyring's answer, so they may run on any thread; the
// system keyring serialises them.
class Keyring
{
public:
    virtual ~Keyring() = default;

    // Whether passwords can be kept here; *why (translated) says why not.
    virtual bool available(QString *why) = 0;
    // False with *error when the keyring holds no password under the key
    // (*found false) or cannot be read (*found true).
    virtual bool read(const QString &key, QString *password, bool *found, QString *error) = 0;
    virtual bool write(const QString &key, const QString &password, QString *error) = 0;
    // Removing a key the keyring does not hold succeeds.
    virtual bool remove(const QString &key, QString *error) = 0;

    // The keyring the program uses: the system's, unless a test put
    // another in its place (nullptr puts the system's back).
    static Keyring &instance();
    static void replaceForTesting(Keyring *keyring);
};
