set(TORVELIN_VERIFICATION_SOURCES
    verification/machineverification.h
    verification/verificationrules.h verification/verificationrules.cpp
    verification/verificationjson.h verification/verificationjson.cpp
)
