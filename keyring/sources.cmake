set(TORVELIN_KEYRING_SOURCES
    keyring/keyring.h keyring/keyring.cpp
    keyring/systemkeyring.h keyring/systemkeyring.cpp
)
