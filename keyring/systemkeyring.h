#pragma once

#include "keyring/keyring.h"

#include <QRecursiveMutex>

// The system's keyring through QtKeychain, under the service name
// "Torvelin". Whether it is there is asked once per run: a keyring that
// appears later is seen at the next start.
class SystemKeyring : public Keyring
{
public:
    bool available(QString *why) override;
    bool read(const QString &key, QString *password, bool *found, QString *error) override;
    bool write(const QString &key, const QString &password, QString *error) override;
    bool remove(const QString &key, QString *error) override;

private:
    // Recursive: while the probe's answer is awaited, this thread's events
    // run and may ask again.
    QRecursiveMutex m_mutex;
    bool m_probed = false;
    bool m_available = false;
    QString m_detail;   // what the keyring said, when it said more than "no"
};
