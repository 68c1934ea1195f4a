#include "keyring/keyring.h"

#include "keyring/systemkeyring.h"

#include <atomic>

namespace {
std::atomic<Keyring *> replacement{nullptr};
} // namespace

Keyring &Keyring::instance()
{
    static SystemKeyring system;
    Keyring *keyring = replacement.load();
    return keyring ? *keyring : system;
}

void Keyring::replaceForTesting(Keyring *keyring)
{
    replacement.store(keyring);
}
