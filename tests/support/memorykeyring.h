#pragma once

#include "keyring/keyring.h"

#include <QHash>

// A keyring in memory, put in the system's place by tests: this machine,
// like CI, has no Secret Service.
//
//     MemoryKeyring keyring;
//     Keyring::replaceForTesting(&keyring);   // nullptr puts the system's back
class MemoryKeyring : public Keyring
{
public:
    bool available(QString *) override { return true; }
    bool read(const QString &key, QString *password, bool *found, QString *) override
    {
        *found = entries.contains(key);
        *password = entries.value(key);
        return *found;
    }
    bool write(const QString &key, const QString &password, QString *) override
    {
        entries.insert(key, password);
        return true;
    }
    bool remove(const QString &key, QString *) override
    {
        entries.remove(key);
        return true;
    }
    QHash<QString, QString> entries;
};
